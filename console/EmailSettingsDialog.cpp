#include "EmailSettingsDialog.h"

#include "ApplicationFolder.h"
#include "CMessageDlg.h"
#include "CSkinButton.h"
#include "ConsoleConfig.h"
#include "ConsoleTemplates.h"
#include "ProcessLauncher.h"
#include "SaveRights.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

namespace ostrel {

using namespace ids::control::email;

namespace {

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

EmailSettingsDialog::EmailSettingsDialog(std::string appFolder, ProcessLauncher& launcher, SaveRights& rights,
                                         QWidget* parent)
    : CSkinDialog(EmailSettingsTemplate(), parent),
      appFolder_(std::move(appFolder)),
      launcher_(launcher),
      rights_(rights)
{
    setModal(true);
    SetBackgroundBitmap(ids::bitmap::kEmailSettings);
    SetColourRule(ColourRule::Pages());
    ShapeByColourKey();
    SetDraggable(true);
    ApplyButtonSkins(*this, ids::dialog::kEmailSettings);
    connect(Button(kModify), &QPushButton::clicked, this, &EmailSettingsDialog::Modify);
    connect(Button(ids::control::kCancel), &QPushButton::clicked, this, &QDialog::reject);
    connect(Button(kDefaults), &QPushButton::clicked, this, &EmailSettingsDialog::FillDefaults);
    connect(Button(kTestEmail), &QPushButton::clicked, this, &EmailSettingsDialog::SendTestEmail);
    for (std::string_view name : kAuthMethodNames)
        AuthMethod().addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    held_ = LoadMailSettings();
    ShowHeld();
}

QLineEdit& EmailSettingsDialog::Field(int id) const
{
    return *qobject_cast<QLineEdit*>(Control(id));
}

QComboBox& EmailSettingsDialog::AuthMethod() const
{
    return *qobject_cast<QComboBox*>(Control(kAuthMethod));
}

MailSettings EmailSettingsDialog::Defaults()
{
    MailSettings defaults;
    defaults.senderName = "Ostrel";
    defaults.senderAddress = OSTREL_DEFAULT_MAIL_SENDER;
    defaults.userName = OSTREL_DEFAULT_MAIL_SENDER;
    defaults.password = OSTREL_DEFAULT_MAIL_PASSWORD;
    defaults.server = OSTREL_DEFAULT_MAIL_SERVER;
    defaults.port = 25;
    defaults.authMethod = "None";
    return defaults;
}

void EmailSettingsDialog::ShowHeld()
{
    Field(kRecipient).setText(Text(held_.recipient));
    Field(kSenderName).setText(Text(held_.senderName));
    Field(kSenderAddress).setText(Text(held_.senderAddress));
    Field(kUserName).setText(Text(held_.userName));
    Field(kPassword).setText(Text(held_.password));
    AuthMethod().setEditText(Text(held_.authMethod));
    Field(kServer).setText(Text(held_.server));
    Field(kPort).setText(QString::number(static_cast<std::int32_t>(held_.port)));
}

bool EmailSettingsDialog::TakeControls()
{
    bool integer = false;
    const int port = Field(kPort).text().trimmed().toInt(&integer);
    if (!integer) {
        QMessageBox::warning(this, QStringLiteral("Quillmere"), QStringLiteral("Please enter an integer."));
        Field(kPort).setFocus();
        Field(kPort).selectAll();
        return false;
    }
    held_.recipient = Field(kRecipient).text().toStdString();
    held_.senderName = Field(kSenderName).text().toStdString();
    held_.senderAddress = Field(kSenderAddress).text().toStdString();
    held_.userName = Field(kUserName).text().toStdString();
    held_.password = Field(kPassword).text().toStdString();
    held_.authMethod = AuthMethod().currentText().toStdString();
    held_.server = Field(kServer).text().toStdString();
    held_.port = static_cast<std::uint32_t>(port);
    return true;
}

bool EmailSettingsDialog::Store()
{
    if (!TakeControls())
        return false;
    if (const std::optional<std::string> problem = RecipientProblem(held_.recipient)) {
        CMessageDlg::Show(QString::fromStdString(*problem), this);
        return false;
    }
    rights_.BeforeChange(this);
    SaveMailSettings(held_);
    return true;
}

void EmailSettingsDialog::Modify()
{
    if (Store())
        accept();
}

void EmailSettingsDialog::SendTestEmail()
{
    if (!Store())
        return;
    if (!NameTestMessage(appFolder_)) {
        CMessageDlg::Show(
            QString::fromUtf8(kNoTestFileMessage.data(), static_cast<qsizetype>(kNoTestFileMessage.size())), this);
        return;
    }
    launcher_.Start(InApplicationFolder(appFolder_, "Relayer"));
    CMessageDlg::Show(QStringLiteral("An email has been sent to your email address. Please check your inbox."), this);
}

void EmailSettingsDialog::FillDefaults()
{
    const MailSettings defaults = Defaults();
    const std::string recipient = held_.recipient;
    held_ = defaults;
    // The recipient shows what it held when the controls were last read.
    held_.recipient = recipient;
    ShowHeld();
}

}  // namespace ostrel

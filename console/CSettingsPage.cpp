#include "CSettingsPage.h"

#include "CMessageDlg.h"
#include "CSkinButton.h"
#include "ConsoleTemplates.h"
#include "DocumentNames.h"
#include "MailSettings.h"
#include "RegValue.h"
#include "SaveRights.h"
#include "SettingsDocument.h"
#include "SettingsEdits.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

namespace ostrel {

namespace {

using namespace ids::control::settings;
constexpr const char* kEmailLog = "Software\\Ostrel\\EmailLog";

}  // namespace

CSettingsPage::CSettingsPage(PageContext context, QWidget* parent)
    : CConsolePage(SettingsPageTemplate(), parent), context_(std::move(context))
{
    SetColourRule(ColourRule::Pages());
    Cost().setText(QStringLiteral("0"));
    connect(&EmailSwitch(), &QCheckBox::clicked, this, &CSettingsPage::OnEmailSwitch);
    connect(&DocumentNamesSwitch(), &QCheckBox::clicked, this, &CSettingsPage::OnDocumentNamesSwitch);
    connect(&Printers(), &QComboBox::activated, this, &CSettingsPage::OnPrinterChosen);
    connect(Button(kApply), &QPushButton::clicked, this, &CSettingsPage::ApplyCost);
    connect(Button(kConfigure), &QPushButton::clicked, this, [this] {
        if (!openEmailSettings_)
            return;
        openEmailSettings_();
        EmailSwitch().setChecked(RegValueDword(kEmailLog, 0).Get() != 0);
    });
    Refresh();
}

QCheckBox& CSettingsPage::EmailSwitch() const
{
    return *qobject_cast<QCheckBox*>(Control(kEmailSwitch));
}

QCheckBox& CSettingsPage::DocumentNamesSwitch() const
{
    return *qobject_cast<QCheckBox*>(Control(kDocumentNames));
}

QComboBox& CSettingsPage::Printers() const
{
    return *qobject_cast<QComboBox*>(Control(kPrinters));
}

QLineEdit& CSettingsPage::Cost() const
{
    return *qobject_cast<QLineEdit*>(Control(kCost));
}

void CSettingsPage::OnRefresh()
{
    EmailSwitch().setChecked(RegValueDword(kEmailLog, 0).Get() != 0);
    DocumentNamesSwitch().setChecked(RecordsDocumentNames());
    Printers().clear();
    for (const auto& printer : settings_text::ConfiguredPrinters(SettingsDocument::InFolder(context_.appFolder).Read()))
        if (printer.monitored)
            Printers().addItem(QString::fromStdString(printer.name));
    Printers().setCurrentIndex(-1);
}

std::optional<std::int32_t> CSettingsPage::TakeCost()
{
    bool integer = false;
    const int cost = Cost().text().trimmed().toInt(&integer);
    if (!integer) {
        QMessageBox::warning(this, QStringLiteral("Quillmere"), QStringLiteral("Please enter an integer."));
        Cost().setFocus();
        Cost().selectAll();
        return std::nullopt;
    }
    return cost;
}

void CSettingsPage::OnEmailSwitch()
{
    // Every handler takes all the page's values first, the cost among them.
    TakeCost();
    context_.rights.BeforeChange(this);
    SwitchEmailReport(EmailSwitch().isChecked());
}

void CSettingsPage::OnDocumentNamesSwitch()
{
    TakeCost();
    context_.rights.BeforeChange(this);
    const bool record = DocumentNamesSwitch().isChecked();
    // Not stored (no rights, told above): the box shows what still holds.
    if (!SetRecordsDocumentNames(record)) {
        DocumentNamesSwitch().setChecked(RecordsDocumentNames());
        return;
    }
    // The monitor reads the switch for every job: it holds from the next one.
    CMessageDlg::Show(record ? QStringLiteral("From now on the names of the documents printed are recorded. The jobs "
                                              "monitored while they were not keep \"-\" in their place.")
                             : QStringLiteral("From now on the names of the documents printed are not recorded: the "
                                              "jobs get \"-\" in their place. The jobs monitored until now keep "
                                              "their names."),
                      this);
}

void CSettingsPage::OnPrinterChosen()
{
    TakeCost();
    const std::string name = Printers().currentText().toStdString();
    if (const auto cost = settings_text::CostOf(SettingsDocument::InFolder(context_.appFolder).Read(), name))
        Cost().setText(QString::number(*cost));
}

void CSettingsPage::ApplyCost()
{
    const std::optional<std::int32_t> cost = TakeCost();
    if (!cost || Printers().currentIndex() < 0 || *cost < 0)
        return;
    context_.rights.BeforeChange(this);
    settings_edits::ApplyCost(context_.appFolder, Printers().currentText().toStdString(), *cost);
    // clang-format off
    CMessageDlg::Show(QStringLiteral("From now on all jobs printed will have this cost assigned. The jobs monitored util now will have the old cost."), this);
    // clang-format on
}

}  // namespace ostrel

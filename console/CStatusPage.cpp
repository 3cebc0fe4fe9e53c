#include "CStatusPage.h"

#include "Accounts.h"
#include "CSkinButton.h"
#include "CentralSettings.h"
#include "ConsoleTemplates.h"
#include "QuickReports.h"
#include "ReportRights.h"
#include "SaveRights.h"
#include "SpoolerQueries.h"

#include <QLabel>
#include <QPointer>

namespace ostrel {

using namespace ids::control::status;

CStatusPage::CStatusPage(PageContext context, QWidget* parent)
    : CConsolePage(StatusPageTemplate(), parent), context_(std::move(context))
{
    SetColourRule(ColourRule::WhiteFace());
    connect(Button(kStart), &QPushButton::clicked, this, &CStatusPage::Start);
    connect(Button(kStop), &QPushButton::clicked, this, &CStatusPage::Stop);
    connect(Button(kDefaultPrinterReport), &QPushButton::clicked, this, [this] {
        if (context_.reportRights.BeforeReport(this))
            ShowDefaultPrinterReport(this, context_.appFolder, defaultPrinter_);
    });
    connect(Button(kUserReport), &QPushButton::clicked, this, [this] {
        if (context_.reportRights.BeforeReport(this))
            ShowCurrentUserReport(this, context_.appFolder, UserText().toStdString());
    });
    // The status line is as wide as the template gives it, on one line.
    for (int id : {kState, kUser, kDefaultPrinter, kCentral})
        Label(id)->setWordWrap(false);
    Refresh();
}

QLabel* CStatusPage::Label(int id) const
{
    return qobject_cast<QLabel*>(Control(id));
}

QString CStatusPage::StatusText() const
{
    return Label(kState)->text();
}

QString CStatusPage::UserText() const
{
    return Label(kUser)->text();
}

QString CStatusPage::DefaultPrinterText() const
{
    return Label(kDefaultPrinter)->text();
}

QString CStatusPage::CentralText() const
{
    return Label(kCentral)->text();
}

void CStatusPage::SwitchMonitoring(bool on)
{
    context_.rights.BeforeChange(this);
    switch_.Switch(on);
    Button(kStart)->setEnabled(!on);
    Button(kStop)->setEnabled(on);
    Refresh();
}

void CStatusPage::OnRefresh()
{
    const bool monitoring = MonitoringSwitch::AppRuns() == 1;
    Button(kStart)->setEnabled(!monitoring);
    Button(kStop)->setEnabled(monitoring);
    Label(kState)->setText(monitoring ? QStringLiteral("Monitoring") : QStringLiteral("NOT Monitoring"));
    Label(kUser)->setText(QString::fromStdString(EffectiveUserName()));
    // The monitor keeps this state in the registry store; nothing when no central database is configured.
    const QString central = QString::fromStdString(CentralStatusLine(LocalMachineHive()));
    Label(kCentral)->setText(central);
    Label(kCentral)->setVisible(!central.isEmpty());
    // The spooler may take its time; the line fills in when it answers.
    QPointer<CStatusPage> page(this);
    context_.spooler.AskDefaultPrinter([page](std::optional<std::string> name) {
        if (!page)
            return;
        page->defaultPrinter_ = name.value_or(std::string());
        page->Label(kDefaultPrinter)
            ->setText(name ? QString::fromStdString(*name) : QStringLiteral("No default printer"));
    });
}

}  // namespace ostrel

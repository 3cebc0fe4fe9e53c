#include "CReportsPage.h"

#include "CSkinButton.h"
#include "ConsoleTemplates.h"
#include "ReportRights.h"
#include "SettingsDocument.h"
#include "ShowReport.h"

#include <QComboBox>

namespace ostrel {

using namespace ids::control::reports;

CReportsPage::CReportsPage(PageContext context, QWidget* parent)
    : CConsolePage(ReportsPageTemplate(), parent), context_(std::move(context))
{
    SetColourRule(ColourRule::Pages());
    connect(Button(kPrinterReport), &QPushButton::clicked, this, &CReportsPage::ShowPrinterReport);
    connect(Button(kUserReport), &QPushButton::clicked, this, &CReportsPage::ShowUserReport);
    connect(Button(kAggregatedReport), &QPushButton::clicked, this, &CReportsPage::ShowAggregatedReport);
    Refresh();
}

QComboBox& CReportsPage::Periods() const
{
    return *qobject_cast<QComboBox*>(Control(kPeriods));
}

QComboBox& CReportsPage::Printers() const
{
    return *qobject_cast<QComboBox*>(Control(kPrinters));
}

QComboBox& CReportsPage::Users() const
{
    return *qobject_cast<QComboBox*>(Control(kUsers));
}

void CReportsPage::OnRefresh()
{
    // Shown to someone who may not read the logs: said once, before the
    // lists that would stay empty.
    if (isVisible())
        context_.reportRights.TellOnce(this);
    Periods().clear();
    for (std::string_view name : ReportPeriodNames())
        Periods().addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    Periods().setCurrentIndex(0);

    const std::string document = SettingsDocument::InFolder(context_.appFolder).Read();
    Printers().clear();
    for (const auto& printer : settings_text::ConfiguredPrinters(document))
        if (printer.monitored)
            Printers().addItem(QString::fromStdString(printer.name));
    Printers().setCurrentIndex(-1);
    Users().clear();
    for (const std::string& user : settings_text::UserNames(document))
        Users().addItem(QString::fromStdString(user));
    Users().setCurrentIndex(-1);
}

void CReportsPage::ShowPrinterReport()
{
    if (Periods().currentIndex() < 0 || Printers().currentIndex() < 0 || !context_.reportRights.BeforeReport(this))
        return;
    ShowReport(this, context_.appFolder,
               {{ReportKind::Printer, Printers().currentText().toStdString(), false}, Periods().currentText().toStdString()});
}

void CReportsPage::ShowUserReport()
{
    if (Periods().currentIndex() < 0 || Users().currentIndex() < 0 || !context_.reportRights.BeforeReport(this))
        return;
    ShowReport(this, context_.appFolder,
               {{ReportKind::User, Users().currentText().toStdString(), false}, Periods().currentText().toStdString()});
}

void CReportsPage::ShowAggregatedReport()
{
    if (Periods().currentIndex() < 0 || !context_.reportRights.BeforeReport(this))
        return;
    ShowReport(this, context_.appFolder, {{ReportKind::Aggregated, {}, false}, Periods().currentText().toStdString()});
}

} // namespace ostrel

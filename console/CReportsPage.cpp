#include "CReportsPage.h"

#include "CMessageDlg.h"
#include "CSkinButton.h"
#include "CentralSettings.h"
#include "ConsoleTemplates.h"
#include "DialogUnits.h"
#include "PqDatabase.h"
#include "ReportRights.h"
#include "SettingsDocument.h"
#include "ShowReport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>

namespace ostrel {

using namespace ids::control::reports;

namespace {

void Fill(QComboBox& list, const std::vector<std::string>& names)
{
    list.clear();
    for (const std::string& name : names)
        list.addItem(QString::fromStdString(name));
    list.setCurrentIndex(-1);
}

}  // namespace

CReportsPage::CReportsPage(PageContext context, QWidget* parent)
    : CConsolePage(ReportsPageTemplate(), parent), context_(std::move(context))
{
    SetColourRule(ColourRule::Pages());
    connect(Button(kPrinterReport), &QPushButton::clicked, this, &CReportsPage::ShowPrinterReport);
    connect(Button(kUserReport), &QPushButton::clicked, this, &CReportsPage::ShowUserReport);
    connect(Button(kAggregatedReport), &QPushButton::clicked, this, &CReportsPage::ShowAggregatedReport);

    // The choice of servers sits on the heading's line, right of it; it is
    // there only when a central store is configured.
    const DialogUnits units = DialogUnits::ForFont(font());
    serversLabel_ = new QLabel(QStringLiteral("Servers:"), this);
    serversLabel_->setGeometry(units.ToPixels(QRect(140, 4, 30, 10)));
    servers_ = new QComboBox(this);
    servers_->setGeometry(units.ToPixels(QRect(170, 2, 105, 12)));
    serversLabel_->setBuddy(servers_);
    serversLabel_->hide();
    servers_->hide();
    connect(servers_, &QComboBox::activated, this, &CReportsPage::ChooseServers);
    Refresh();
}

CReportsPage::~CReportsPage() = default;

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
    FillLocalLists();

    central_ = ReadCentralSettings(LocalMachineHive()).conninfo;
    serversLabel_->setVisible(!central_.empty());
    servers_->setVisible(!central_.empty());
    servers_->clear();
    chosen_ = 0;
    if (central_.empty())
        return;
    servers_->addItem(kThisMachine);
    servers_->addItem(kAllServers);
    servers_->setCurrentIndex(0);
    // The servers by name when the centre answers; without it, this
    // machine's reports are all the page needs, so it stays quiet.
    if (!database_)
        database_ = MakePqDatabase();
    SqlDatabase::Opened opened = database_->Open(central_);
    if (!opened.connection)
        return;
    if (ReportResult<std::vector<std::string>> names = CentralServerNames(*opened.connection))
        for (const std::string& name : *names)
            servers_->addItem(QString::fromStdString(name));
}

void CReportsPage::FillLocalLists()
{
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

std::optional<ServerChoice> CReportsPage::Chosen() const
{
    if (central_.empty() || servers_->currentIndex() <= 0)
        return std::nullopt;
    if (servers_->currentIndex() == 1)
        return ServerChoice();
    return ServerChoice(servers_->currentText().toStdString());
}

std::unique_ptr<SqlConnection> CReportsPage::Connect()
{
    if (!database_)
        database_ = MakePqDatabase();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SqlDatabase::Opened opened = database_->Open(central_);
    QApplication::restoreOverrideCursor();
    if (!opened.connection)
        CMessageDlg::Show(QString::fromStdString(CentralUnreachable(opened.error)), this);
    return std::move(opened.connection);
}

void CReportsPage::ChooseServers(int index)
{
    const std::optional<ServerChoice> choice = Chosen();
    if (!choice) {
        chosen_ = index;
        FillLocalLists();
        return;
    }
    // The lists change only when both came: a centre that went away
    // leaves the page as it was.
    std::unique_ptr<SqlConnection> connection = Connect();
    ReportResult<std::vector<std::string>> printers =
        connection ? CentralPrinterNames(*connection, *choice) : ReportResult<std::vector<std::string>>::Failure({});
    ReportResult<std::vector<std::string>> users =
        printers ? CentralUserNames(*connection, *choice) : ReportResult<std::vector<std::string>>::Failure({});
    if (!printers || !users) {
        const std::string& error = printers ? users.Error() : printers.Error();
        if (connection && !error.empty())
            CMessageDlg::Show(QString::fromStdString(error), this);
        servers_->setCurrentIndex(chosen_);
        return;
    }
    chosen_ = index;
    Fill(Printers(), *printers);
    Fill(Users(), *users);
}

void CReportsPage::Show(const ReportRequest& request)
{
    const std::optional<ServerChoice> choice = Chosen();
    if (!choice) {
        // This machine's logs are for the group; the central store's
        // reports are the database's to allow.
        if (context_.reportRights.BeforeReport(this))
            ShowReport(this, context_.appFolder, request);
        return;
    }
    std::unique_ptr<SqlConnection> connection = Connect();
    if (!connection)
        return;
    CentralReportSource central(*connection, *choice);
    ShowReport(this, context_.appFolder, central, request);
}

void CReportsPage::ShowPrinterReport()
{
    if (Periods().currentIndex() < 0 || Printers().currentIndex() < 0)
        return;
    Show({{ReportKind::Printer, Printers().currentText().toStdString(), false}, Periods().currentText().toStdString()});
}

void CReportsPage::ShowUserReport()
{
    if (Periods().currentIndex() < 0 || Users().currentIndex() < 0)
        return;
    Show({{ReportKind::User, Users().currentText().toStdString(), false}, Periods().currentText().toStdString()});
}

void CReportsPage::ShowAggregatedReport()
{
    if (Periods().currentIndex() < 0)
        return;
    Show({{ReportKind::Aggregated, {}, false}, Periods().currentText().toStdString()});
}

}  // namespace ostrel

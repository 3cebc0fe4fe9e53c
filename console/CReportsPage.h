#pragma once

#include "CConsolePage.h"
#include "CentralReport.h"
#include "PageContext.h"
#include "ReportPeriod.h"

#include <memory>

class QComboBox;
class QLabel;

namespace ostrel {

class SqlDatabase;

// The third page: a period, and a printer's, a user's or the whole
// machine's report of it. The lists come from settings.xml in document
// order (the newest first), with nothing chosen after a refresh; a report
// asked for without its choice does nothing. Where the registry value
// CentralDatabase names a central store, the page also offers where the
// jobs come from: "This machine" (its period files, as always), "All
// servers" or one server by name; the printer and user lists then follow
// that choice. A centre that cannot be reached says so and changes
// nothing. GUI thread only.
class CReportsPage : public CConsolePage {
    Q_OBJECT

public:
    CReportsPage(PageContext context, QWidget* parent);
    ~CReportsPage() override;

    void ShowPrinterReport();
    void ShowUserReport();
    void ShowAggregatedReport();

    QComboBox& Periods() const;
    QComboBox& Printers() const;
    QComboBox& Users() const;
    // The choice of servers; hidden without a central store.
    QComboBox& Servers() const { return *servers_; }

    static inline const QString kThisMachine = QStringLiteral("This machine");
    static inline const QString kAllServers = QStringLiteral("All servers");

protected:
    void OnRefresh() override;

private:
    void FillLocalLists();
    void ChooseServers(int index);
    void Show(const ReportRequest& request);
    // The servers chosen: nothing for this machine.
    std::optional<ServerChoice> Chosen() const;
    // A session with the central store, or nothing after telling why.
    std::unique_ptr<SqlConnection> Connect();

    PageContext context_;
    std::string central_;  // the connection string; empty without a central store
    std::unique_ptr<SqlDatabase> database_;
    QLabel* serversLabel_ = nullptr;
    QComboBox* servers_ = nullptr;
    int chosen_ = 0;  // the choice whose lists are shown
};

}  // namespace ostrel

#pragma once

#include "CConsolePage.h"
#include "PageContext.h"
#include "ReportPeriod.h"

class QComboBox;

namespace ostrel {

// The third page: a period, and a printer's, a user's or the whole
// machine's report of it. The lists come from settings.xml in document
// order (the newest first), with nothing chosen after a refresh; a report
// asked for without its choice does nothing. GUI thread only.
class CReportsPage : public CConsolePage {
    Q_OBJECT

public:
    CReportsPage(PageContext context, QWidget* parent);

    void ShowPrinterReport();
    void ShowUserReport();
    void ShowAggregatedReport();

    QComboBox& Periods() const;
    QComboBox& Printers() const;
    QComboBox& Users() const;

protected:
    void OnRefresh() override;

private:
    PageContext context_;
};

} // namespace ostrel

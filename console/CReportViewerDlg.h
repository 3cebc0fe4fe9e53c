#pragma once

#include "CResizeDlg.h"
#include "ReportPeriod.h"
#include "ReportSource.h"

#include <QString>

#include <filesystem>
#include <string>

class QLabel;
class QLineEdit;
class QSortFilterProxyModel;
class QTabWidget;
class QTableView;
class QTextBrowser;

namespace ostrel {

class ReportEventsModel;

// What the viewer shows: the bytes of a report document, the folder its
// stylesheet is taken from (its xml-stylesheet instruction names it), and
// the kind of report, which decides the subtotals.
struct ReportView {
    std::string document;
    std::filesystem::path folder;
    ReportKind kind = ReportKind::Aggregated;
};

// The report viewer: a resizable window without a title bar, dragged by its
// background. The document is rendered through its own stylesheet. The
// shipped stylesheets, asked for it, render the heading and the totals and
// leave the subtotals (with a bar of pages each) and the jobs to tables of
// the viewer, which stay quick at any size and sort by any column; any
// other stylesheet's page is shown whole, as it wrote it. The totals stay
// in view under the tables. "Find Keyword" (and Enter) opens the find
// bar, whose search runs through the page and then the jobs; "OK" and
// Escape close. Ctrl+S saves the report as CSV or HTML, Ctrl+P prints it.
// Jobs that carry their server (the central store's) show it in a column
// of its own, with subtotals per server. GUI thread only.
class CReportViewerDlg : public CResizeDlg {
    Q_OBJECT

public:
    explicit CReportViewerDlg(ReportView view, QWidget* parent = nullptr);
    // A report as a source gave it; `folder` holds its stylesheet.
    CReportViewerDlg(Report report, std::filesystem::path folder, QWidget* parent = nullptr);
    ~CReportViewerDlg() override;

    // Opens the find bar, or finds the next place when it is open.
    void OpenFind();
    // Selects and shows the next (or previous) place holding `text`,
    // without regard to case: in the page, then in the jobs in the order
    // shown, round again from the start. False when it is nowhere.
    bool Find(const QString& text, bool backwards = false);

    // Writes the report as CSV (a name ending in .csv) or as the whole page
    // the stylesheet makes without the viewer's tables (any other name).
    bool SaveAs(const QString& file);
    // The page without the viewer's tables, for saving and printing.
    QString WholePage() const;

    bool ShowsTables() const { return tables_; }
    QTextBrowser& Page() const { return *page_; }
    QTableView& Jobs() const { return *jobs_; }
    // The tables: the jobs first, then the subtotals.
    QTabWidget& Tables() const { return *subtotals_; }
    QLabel& Totals() const { return *totals_; }
    QLineEdit& FindField() const { return *findField_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildArea();
    void ShowReport();
    void AddSubtotals(const QString& title, const QString& nameHeader, std::vector<struct ReportSubtotal> rows);
    bool FindInJobs(const QString& needle, bool backwards, bool fromEdge);
    void SaveWithDialog();
    void Print();

    Report report_;
    std::filesystem::path folder_;
    bool tables_ = false;
    QTextBrowser* page_ = nullptr;
    QTabWidget* subtotals_ = nullptr;
    QTableView* jobs_ = nullptr;
    ReportEventsModel* events_ = nullptr;
    QSortFilterProxyModel* sorted_ = nullptr;
    QLabel* totals_ = nullptr;
    QWidget* findBar_ = nullptr;
    QLineEdit* findField_ = nullptr;
    QLabel* findState_ = nullptr;
    bool inJobs_ = false;  // where the last match was
    int jobRow_ = -1;
};

}  // namespace ostrel

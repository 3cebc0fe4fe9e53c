#include "CReportViewerDlg.h"

#include "CSkinButton.h"
#include "ConsoleTemplates.h"
#include "Files.h"
#include "ReportEventsModel.h"
#include "ReportCsv.h"
#include "ReportRenderer.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QShortcut>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace ostrel {

namespace {

using ids::control::viewer::kArea;
using ids::control::viewer::kClose;
using ids::control::viewer::kFind;
const QColor kBar(0x2F, 0x6F, 0xDE, 90);  // the skin's accent, light

// The pages column of the subtotals: a bar as long as the share of the
// largest, under the number.
class BarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const double share = index.data(ReportSubtotalsModel::kShareRole).toDouble();
        QRect bar = option.rect.adjusted(2, 3, -2, -3);
        bar.setWidth(static_cast<int>(bar.width() * share));
        painter->fillRect(bar, kBar);
        QStyledItemDelegate::paint(painter, option, index);
    }
};

QTableView* MakeTable(QAbstractItemModel* model, QWidget* parent)
{
    auto* sorted = new QSortFilterProxyModel(parent);
    sorted->setSourceModel(model);
    sorted->setSortRole(ReportEventsModel::kSortRole);
    auto* table = new QTableView(parent);
    table->setModel(sorted);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->verticalHeader()->hide();
    // Fixed row heights: a table of 100,000 rows lays out at once.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
    // Unsorted, in the document's order, until a header is clicked.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    table->setSortingEnabled(true);
    return table;
}

}  // namespace

CReportViewerDlg::CReportViewerDlg(ReportView view, QWidget* parent)
    : CReportViewerDlg(ReportFromDocument(std::move(view.document), view.kind), std::move(view.folder), parent)
{
}

CReportViewerDlg::CReportViewerDlg(Report report, std::filesystem::path folder, QWidget* parent)
    : CResizeDlg(ReportViewerTemplate(), parent), report_(std::move(report)), folder_(std::move(folder))
{
    setWindowTitle(QStringLiteral("Quillmere - Report"));
    setModal(true);
    SetDraggable(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* find = qobject_cast<CSkinButton*>(Control(kFind));
    auto* close = qobject_cast<CSkinButton*>(Control(kClose));
    find->SetBitmaps(ids::bitmap::kFindKeywordNormal, ids::bitmap::kFindKeywordPressed);
    close->SetBitmaps(ids::bitmap::kViewerOkNormal, ids::bitmap::kViewerOkPressed);
    find->setDefault(true);
    connect(find, &QPushButton::clicked, this, &CReportViewerDlg::OpenFind);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    BuildArea();
    AddControl(kArea, {EdgeMode::Keep, EdgeMode::Stretch, EdgeMode::Keep, EdgeMode::Stretch}, true);
    AddControl(kFind, {EdgeMode::Keep, EdgeMode::Move, EdgeMode::Keep, EdgeMode::Move}, true);
    AddControl(kClose, {EdgeMode::Keep, EdgeMode::Move, EdgeMode::Keep, EdgeMode::Move}, true);
    HideSizeGrip();

    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &CReportViewerDlg::SaveWithDialog);
    auto* print = new QShortcut(QKeySequence::Print, this);
    connect(print, &QShortcut::activated, this, &CReportViewerDlg::Print);

    ShowReport();

    // Tab reads the viewer top down: the page, the tables, the find bar,
    // then Find Keyword and OK.
    QList<QWidget*> order{page_, subtotals_};
    for (int tab = 0; tab < subtotals_->count(); ++tab)
        order << subtotals_->widget(tab);
    order << findField_;
    for (auto* arrow : findBar_->findChildren<QToolButton*>())
        order << arrow;
    order << find << close;
    for (qsizetype index = 1; index < order.size(); ++index)
        QWidget::setTabOrder(order[index - 1], order[index]);
}

CReportViewerDlg::~CReportViewerDlg() = default;

void CReportViewerDlg::BuildArea()
{
    QWidget* area = Control(kArea);
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    // The stylesheet's page above, the tables in tabs below it: the jobs
    // first, then the subtotals.
    page_ = new QTextBrowser(area);
    page_->setOpenLinks(false);
    page_->setAccessibleName(QStringLiteral("Report"));
    layout->addWidget(page_, 1);
    subtotals_ = new QTabWidget(area);
    layout->addWidget(subtotals_, 3);

    totals_ = new QLabel(area);
    layout->addWidget(totals_);

    findBar_ = new QWidget(area);
    auto* bar = new QHBoxLayout(findBar_);
    bar->setContentsMargins(0, 0, 0, 0);
    auto* findLabel = new QLabel(QStringLiteral("Find:"), findBar_);
    bar->addWidget(findLabel);
    findField_ = new QLineEdit(findBar_);
    findLabel->setBuddy(findField_);
    findField_->setAccessibleName(QStringLiteral("Find:"));
    bar->addWidget(findField_, 1);
    auto* previous = new QToolButton(findBar_);
    previous->setArrowType(Qt::UpArrow);
    previous->setToolTip(QStringLiteral("Previous (Shift+Enter)"));
    previous->setAccessibleName(QStringLiteral("Previous"));
    auto* next = new QToolButton(findBar_);
    next->setArrowType(Qt::DownArrow);
    next->setToolTip(QStringLiteral("Next (Enter)"));
    next->setAccessibleName(QStringLiteral("Next"));
    bar->addWidget(previous);
    bar->addWidget(next);
    findState_ = new QLabel(findBar_);
    bar->addWidget(findState_);
    // Shown only while it says something: a screen reader reads no blank.
    findState_->hide();
    layout->addWidget(findBar_);
    findBar_->hide();
    connect(next, &QToolButton::clicked, this, [this] { Find(findField_->text()); });
    connect(previous, &QToolButton::clicked, this, [this] { Find(findField_->text(), true); });
}

void CReportViewerDlg::ShowReport()
{
    // The bytes this console wrote, never the file again: another
    // console may have replaced it by now. A report of the central store
    // has no document of its own; the page needs only its head.
    const ReportTotals& totals = report_.totals;
    const ReportEventTable& rows = report_.events;
    std::string subject;
    if (rows.Rows() > 0 && report_.kind != ReportKind::Aggregated)
        subject =
            rows.Text(0, report_.kind == ReportKind::Printer ? ReportEventTable::Printer : ReportEventTable::User);
    ReportResult<ViewerPage> page =
        RenderViewerPage(report_.document.empty() ? ReportDocumentHead(report_) : report_.document, folder_,
                         {{"jobs", std::to_string(totals.jobs)},
                          {"pages", std::to_string(totals.pages)},
                          {"cost", std::to_string(totals.cost)},
                          {"subject", subject}});
    // A stylesheet that shows the jobs itself is given them all.
    if (page && !page->tables && report_.document.empty())
        page = RenderViewerPage(ReportDocumentOf(report_), folder_, {});
    if (!page) {
        page_->setPlainText(QString::fromStdString(page.Error()));
    } else {
        tables_ = page->tables;
        page_->setHtml(QString::fromUtf8(page->html.data(), static_cast<qsizetype>(page->html.size())));
    }
    totals_->setText(QStringLiteral("<b>%1</b> jobs &nbsp; <b>%2</b> pages &nbsp; cost <b>%3</b>")
                         .arg(totals.jobs)
                         .arg(totals.pages)
                         .arg(QString::fromStdString(Money(totals.cost))));

    if (tables_ && rows.Rows() > 0) {
        if (report_.kind != ReportKind::User)
            AddSubtotals(QStringLiteral("Per user"), QStringLiteral("User"), std::move(report_.byUser));
        if (report_.kind != ReportKind::Printer)
            AddSubtotals(QStringLiteral("Per printer"), QStringLiteral("Printer"), std::move(report_.byPrinter));
        if (report_.servers)
            AddSubtotals(QStringLiteral("Per server"), QStringLiteral("Server"), std::move(report_.byServer));
    }
    // The model keeps the jobs; the report holds what else is shown.
    events_ = new ReportEventsModel(std::move(report_.events), this);
    jobs_ = MakeTable(events_, subtotals_);
    sorted_ = qobject_cast<QSortFilterProxyModel*>(jobs_->model());
    // With the server beside the printer, the texts give it room, so that
    // it shows without scrolling.
    const int local[ReportEventsModel::ColumnCount] = {90, 55, 220, 100, 130, 60, 70, 0};
    const int central[ReportEventsModel::ColumnCount] = {80, 45, 140, 80, 100, 60, 70, 80};
    for (int column = 0; column < ReportEventsModel::ColumnCount; ++column)
        jobs_->setColumnWidth(column, (report_.servers ? central : local)[column]);
    // The server stands beside the printer; only jobs that carry it show it.
    jobs_->horizontalHeader()->moveSection(ReportEventsModel::Server, ReportEventsModel::Pages);
    jobs_->setColumnHidden(ReportEventsModel::Server, !report_.servers);
    jobs_->setAccessibleName(QStringLiteral("Jobs"));
    subtotals_->insertTab(0, jobs_, QStringLiteral("Jobs"));
    subtotals_->setCurrentIndex(0);

    subtotals_->setVisible(tables_);
    if (tables_) {
        // The page holds the heading and the totals: as high as they are.
        QTextDocument measure;
        measure.setDefaultFont(page_->font());
        measure.setHtml(page_->toHtml());
        measure.setTextWidth(Control(kArea)->width() - 2 * page_->frameWidth());
        page_->setFixedHeight(static_cast<int>(measure.size().height()) + 2 * page_->frameWidth() + 2);
    }
}

void CReportViewerDlg::AddSubtotals(const QString& title, const QString& nameHeader, std::vector<ReportSubtotal> rows)
{
    auto* model = new ReportSubtotalsModel(nameHeader, std::move(rows), this);
    QTableView* table = MakeTable(model, subtotals_);
    table->setItemDelegateForColumn(ReportSubtotalsModel::Pages, new BarDelegate(table));
    table->setColumnWidth(ReportSubtotalsModel::Name, 160);
    table->setColumnWidth(ReportSubtotalsModel::Jobs, 70);
    table->setColumnWidth(ReportSubtotalsModel::Pages, 200);
    table->setAccessibleName(title);
    subtotals_->addTab(table, title);
}

void CReportViewerDlg::OpenFind()
{
    if (findBar_->isHidden()) {
        findBar_->show();
        findField_->setFocus();
        findField_->selectAll();
        return;
    }
    Find(findField_->text());
}

bool CReportViewerDlg::Find(const QString& text, bool backwards)
{
    findState_->clear();
    findState_->hide();
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    const auto inPage = [&](bool fromEdge) {
        if (fromEdge) {
            QTextCursor edge(page_->document());
            edge.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
            page_->setTextCursor(edge);
        }
        if (!page_->find(text, flags))
            return false;
        inJobs_ = false;
        jobs_->clearSelection();
        return true;
    };
    const auto inJobs = [&](bool fromEdge) {
        if (!tables_ || !FindInJobs(text, backwards, fromEdge))
            return false;
        inJobs_ = true;
        return true;
    };
    // On from the last match, through the page and then the jobs (the
    // other way round backwards), and once round again from the start.
    const bool found = backwards ? (inJobs_ && inJobs(false)) || inPage(inJobs_) || inJobs(true) || inPage(true)
                                 : (!inJobs_ && inPage(false)) || inJobs(!inJobs_) || inPage(true) || inJobs(true);
    if (!found) {
        findState_->setText(QStringLiteral("Not found"));
        findState_->show();
    }
    return found;
}

bool CReportViewerDlg::FindInJobs(const QString& needle, bool backwards, bool fromEdge)
{
    const std::string lower = needle.toLower().toStdString();
    const int rows = sorted_->rowCount();
    int row = fromEdge ? (backwards ? rows : -1) : jobRow_;
    for (row += backwards ? -1 : 1; row >= 0 && row < rows; row += backwards ? -1 : 1) {
        const int source = sorted_->mapToSource(sorted_->index(row, 0)).row();
        if (!events_->RowShows(source, lower))
            continue;
        jobRow_ = row;
        const QModelIndex found = sorted_->index(row, 0);
        subtotals_->setCurrentWidget(jobs_);
        jobs_->setCurrentIndex(found);
        jobs_->selectRow(row);
        jobs_->scrollTo(found, QAbstractItemView::PositionAtCenter);
        return true;
    }
    jobRow_ = backwards ? -1 : rows;
    return false;
}

QString CReportViewerDlg::WholePage() const
{
    const std::string document =
        report_.document.empty() ? ReportDocumentOf(report_.kind, report_.caption, events_->Events(), report_.servers)
                                 : report_.document;
    ReportResult<std::string> html = RenderReport(document, folder_);
    return html ? QString::fromStdString(*html) : QString::fromStdString(html.Error()).toHtmlEscaped();
}

bool CReportViewerDlg::SaveAs(const QString& file)
{
    const std::string bytes = file.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive)
                                  ? TableCsv(events_->Events(), report_.servers)
                                  : WholePage().toStdString();
    return ReplaceFile(file.toStdString(), bytes);
}

void CReportViewerDlg::SaveWithDialog()
{
    const QString file =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save the report"), QStringLiteral("report.csv"),
                                     QStringLiteral("CSV (*.csv);;HTML (*.html)"));
    if (!file.isEmpty())
        SaveAs(file);
}

void CReportViewerDlg::Print()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QTextDocument document;
    document.setHtml(WholePage());
    document.print(&printer);
}

void CReportViewerDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (findField_->hasFocus())
            Find(findField_->text(), event->modifiers() & Qt::ShiftModifier);
        else
            OpenFind();
        return;
    }
    CResizeDlg::keyPressEvent(event);
}

void CReportViewerDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Save as CSV or HTML...\tCtrl+S"), this, &CReportViewerDlg::SaveWithDialog);
    menu.addAction(QStringLiteral("&Print...\tCtrl+P"), this, &CReportViewerDlg::Print);
    menu.exec(event->globalPos());
}

}  // namespace ostrel

#pragma once

#include "ReportSummary.h"

#include <QAbstractTableModel>

#include <vector>

namespace ostrel {

// The jobs of a report as table rows: date, time, document, user, printer,
// pages, cost (as money) and the server (empty for the machine's own). The sort role gives numbers for pages and cost
// and the date and time as one sortable text. The events are owned; their
// texts are turned into display texts only for the rows shown.
class ReportEventsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Date, Time, Document, User, Printer, Pages, Cost, Server, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole;

    explicit ReportEventsModel(ReportEventTable events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const ReportEventTable& Events() const { return events_; }
    // Whether a cell of the row shows `needle`, which is in lower case;
    // letters beyond ASCII are compared as they are.
    bool RowShows(int row, std::string_view needle) const;

private:
    std::string Shown(int row, int column) const;

    ReportEventTable events_;
};

// The subtotals of a report per user or per printer: name, jobs, pages with
// a bar to compare them by, cost.
class ReportSubtotalsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Jobs, Pages, Cost, ColumnCount };
    static constexpr int kShareRole = Qt::UserRole + 1;  // pages as a share of the largest, 0 to 1

    ReportSubtotalsModel(QString nameHeader, std::vector<ReportSubtotal> rows, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString nameHeader_;
    std::vector<ReportSubtotal> rows_;
    std::int64_t largest_ = 0;
};

}  // namespace ostrel

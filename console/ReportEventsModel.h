#pragma once

#include "ReportSummary.h"

#include <QAbstractTableModel>

#include <vector>

namespace ostrel {

// The jobs of a report as table rows: date, time, document, user, printer,
// pages and cost (as money). The sort role gives numbers for pages and cost
// and the date and time as one sortable text. The events are owned.
class ReportEventsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Date, Time, Document, User, Printer, Pages, Cost, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole;

    explicit ReportEventsModel(std::vector<ReportEvent> events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    const std::vector<ReportEvent>& Events() const { return events_; }
    // The row's texts, lower case, for find; built at the first call.
    const QString& SearchText(int row) const;

private:
    std::vector<ReportEvent> events_;
    mutable std::vector<QString> search_;
};

// The subtotals of a report per user or per printer: name, jobs, pages with
// a bar to compare them by, cost.
class ReportSubtotalsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Name, Jobs, Pages, Cost, ColumnCount };
    static constexpr int kShareRole = Qt::UserRole + 1; // pages as a share of the largest, 0 to 1

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

} // namespace ostrel

#include "ReportEventsModel.h"

#include <algorithm>

namespace ostrel {

namespace {

QString Text(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

ReportEventsModel::ReportEventsModel(std::vector<ReportEvent> events, QObject* parent)
    : QAbstractTableModel(parent), events_(std::move(events))
{
}

int ReportEventsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(events_.size());
}

int ReportEventsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReportEventsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ReportEvent& event = events_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= Pages ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != kSortRole)
        return {};
    const bool sorting = role == kSortRole;
    switch (index.column()) {
    case Date:
        return sorting ? Text(event.year + event.month + event.day + event.hour + event.min)
                       : Text(event.year + "-" + event.month + "-" + event.day);
    case Time:
        return Text(event.hour + ":" + event.min);
    case Document:
        return Text(event.doc);
    case User:
        return Text(event.user);
    case Printer:
        return Text(event.printer);
    case Pages:
        return sorting ? QVariant(static_cast<qlonglong>(NumberIn(event.pages))) : QVariant(Text(event.pages));
    case Cost:
        return sorting ? QVariant(static_cast<qlonglong>(NumberIn(event.cost)))
                       : QVariant(Text(Money(NumberIn(event.cost))));
    default:
        return {};
    }
}

QVariant ReportEventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kHeaders[] = {"Date", "Time", "Document", "User", "Printer", "Pages", "Cost"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeaders[section]) : QVariant();
}

const QString& ReportEventsModel::SearchText(int row) const
{
    if (search_.empty()) {
        search_.reserve(events_.size());
        for (int i = 0; i < rowCount(); ++i) {
            QStringList cells;
            for (int column = 0; column < ColumnCount; ++column)
                cells << data(this->index(i, column), Qt::DisplayRole).toString();
            search_.push_back(cells.join(QLatin1Char('\t')).toLower());
        }
    }
    return search_[static_cast<std::size_t>(row)];
}

ReportSubtotalsModel::ReportSubtotalsModel(QString nameHeader, std::vector<ReportSubtotal> rows, QObject* parent)
    : QAbstractTableModel(parent), nameHeader_(std::move(nameHeader)), rows_(std::move(rows))
{
    for (const ReportSubtotal& row : rows_)
        largest_ = std::max(largest_, row.totals.pages);
}

int ReportSubtotalsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ReportSubtotalsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ReportSubtotalsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const ReportSubtotal& row = rows_[static_cast<std::size_t>(index.row())];
    if (role == kShareRole && index.column() == Pages)
        return largest_ > 0 ? static_cast<double>(row.totals.pages) / static_cast<double>(largest_) : 0.0;
    if (role == Qt::TextAlignmentRole)
        return index.column() == Name ? QVariant() : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != ReportEventsModel::kSortRole)
        return {};
    const bool sorting = role == ReportEventsModel::kSortRole;
    switch (index.column()) {
    case Name:
        return Text(row.name);
    case Jobs:
        return static_cast<qulonglong>(row.totals.jobs);
    case Pages:
        return static_cast<qlonglong>(row.totals.pages);
    case Cost:
        return sorting ? QVariant(static_cast<qlonglong>(row.totals.cost)) : QVariant(Text(Money(row.totals.cost)));
    default:
        return {};
    }
}

QVariant ReportSubtotalsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name:
        return nameHeader_;
    case Jobs:
        return QStringLiteral("Jobs");
    case Pages:
        return QStringLiteral("Pages");
    case Cost:
        return QStringLiteral("Cost");
    default:
        return {};
    }
}

} // namespace ostrel

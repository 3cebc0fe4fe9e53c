#include "ReportEventsModel.h"

#include <algorithm>

namespace ostrel {

namespace {

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool ContainsFolded(std::string_view haystack, std::string_view needle)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [&](char a, char b) { return lower(a) == b; }) != haystack.end();
}

using F = ReportEventTable;

}  // namespace

ReportEventsModel::ReportEventsModel(ReportEventTable events, QObject* parent)
    : QAbstractTableModel(parent), events_(std::move(events))
{
}

int ReportEventsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(events_.Rows());
}

int ReportEventsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

std::string ReportEventsModel::Shown(int row, int column) const
{
    const auto r = static_cast<std::size_t>(row);
    const auto text = [&](F::Field field) { return std::string(events_.Text(r, field)); };
    switch (column) {
    case Date: return text(F::Year) + "-" + text(F::Month) + "-" + text(F::Day);
    case Time: return text(F::Hour) + ":" + text(F::Min);
    case Document: return text(F::Doc);
    case User: return text(F::User);
    case Printer: return text(F::Printer);
    case Pages: return text(F::Pages);
    case Cost: return Money(NumberIn(events_.Text(r, F::Cost)));
    case Server: return text(F::Server);
    default: return {};
    }
}

QVariant ReportEventsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (role == Qt::TextAlignmentRole)
        return index.column() == Pages || index.column() == Cost ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                                 : QVariant();
    if (role == Qt::DisplayRole)
        return Text(Shown(index.row(), index.column()));
    if (role != kSortRole)
        return {};
    const auto row = static_cast<std::size_t>(index.row());
    switch (index.column()) {
    case Date:
        return Text(std::string(events_.Text(row, F::Year)) + std::string(events_.Text(row, F::Month)) +
                    std::string(events_.Text(row, F::Day)) + std::string(events_.Text(row, F::Hour)) +
                    std::string(events_.Text(row, F::Min)));
    case Pages: return static_cast<qlonglong>(NumberIn(events_.Text(row, F::Pages)));
    case Cost: return static_cast<qlonglong>(NumberIn(events_.Text(row, F::Cost)));
    default: return Text(Shown(index.row(), index.column()));
    }
}

QVariant ReportEventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const kHeaders[] = {"Date", "Time", "Document", "User", "Printer", "Pages", "Cost", "Server"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kHeaders[section]) : QVariant();
}

bool ReportEventsModel::RowShows(int row, std::string_view needle) const
{
    const auto r = static_cast<std::size_t>(row);
    for (F::Field field : {F::Doc, F::User, F::Printer, F::Pages, F::Server})
        if (ContainsFolded(events_.Text(r, field), needle))
            return true;
    for (int column : {Date, Time, Cost})
        if (ContainsFolded(Shown(row, column), needle))
            return true;
    return false;
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
    case Name: return Text(row.name);
    case Jobs: return static_cast<qulonglong>(row.totals.jobs);
    case Pages: return static_cast<qlonglong>(row.totals.pages);
    case Cost:
        return sorting ? QVariant(static_cast<qlonglong>(row.totals.cost)) : QVariant(Text(Money(row.totals.cost)));
    default: return {};
    }
}

QVariant ReportSubtotalsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Name: return nameHeader_;
    case Jobs: return QStringLiteral("Jobs");
    case Pages: return QStringLiteral("Pages");
    case Cost: return QStringLiteral("Cost");
    default: return {};
    }
}

}  // namespace ostrel

#include "ReportEvents.h"

#include "ReportCsv.h"
#include "ReportEventTable.h"

namespace ostrel {

ReportResult<std::vector<ReportEvent>> ReadReportEvents(std::string_view bytes)
{
    ReportResult<ReportEventTable> table = ReportEventTable::Read(bytes);
    if (!table)
        return ReportResult<std::vector<ReportEvent>>::Failure(table.Error());
    return table->Events();
}

std::string ReportCsv(const std::vector<ReportEvent>& events)
{
    // Through a table, so that every report's CSV has one writer.
    ReportEventTable table;
    for (const ReportEvent& event : events)
        table.Append({event.day,
                      event.month,
                      event.year,
                      event.hour,
                      event.min,
                      event.doc,
                      event.pages,
                      event.cost,
                      event.printer,
                      event.user,
                      {}});
    return TableCsv(table, false);
}

}  // namespace ostrel

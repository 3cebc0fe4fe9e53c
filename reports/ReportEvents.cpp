#include "ReportEvents.h"

#include "ReportEventTable.h"

#include <array>
#include <utility>

namespace ostrel {
namespace {

using Field = std::string ReportEvent::*;

// The children of an event, in the order the monitor writes them and the
// CSV names its columns.
const std::array<std::pair<const char*, Field>, 10>& Fields()
{
    static const std::array<std::pair<const char*, Field>, 10> fields = {{
        {"day", &ReportEvent::day},
        {"month", &ReportEvent::month},
        {"year", &ReportEvent::year},
        {"hour", &ReportEvent::hour},
        {"min", &ReportEvent::min},
        {"doc", &ReportEvent::doc},
        {"pages", &ReportEvent::pages},
        {"cost", &ReportEvent::cost},
        {"printer", &ReportEvent::printer},
        {"user", &ReportEvent::user},
    }};
    return fields;
}

void AppendCsvField(std::string& line, const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

}  // namespace

ReportResult<std::vector<ReportEvent>> ReadReportEvents(std::string_view bytes)
{
    ReportResult<ReportEventTable> table = ReportEventTable::Read(bytes);
    if (!table)
        return ReportResult<std::vector<ReportEvent>>::Failure(table.Error());
    return table->Events();
}

std::string ReportCsv(const std::vector<ReportEvent>& events)
{
    std::string csv;
    for (const auto& [name, field] : Fields()) {
        if (!csv.empty())
            csv += ',';
        csv += name;
    }
    csv += "\r\n";
    for (const ReportEvent& event : events) {
        bool first = true;
        for (const auto& [name, field] : Fields()) {
            if (!first)
                csv += ',';
            first = false;
            AppendCsvField(csv, event.*field);
        }
        csv += "\r\n";
    }
    return csv;
}

}  // namespace ostrel

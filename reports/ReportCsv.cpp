#include "ReportCsv.h"

namespace ostrel {
namespace {

int Columns(bool servers)
{
    return servers ? ReportEventTable::FieldCount : ReportEventTable::Server;
}

// Whether a field must be quoted; one pass, as a year of jobs has many.
bool NeedsQuotes(std::string_view text)
{
    for (char c : text)
        if (c == ',' || c == '"' || c == '\r' || c == '\n')
            return true;
    return false;
}

void AppendCsvField(std::string& line, std::string_view text)
{
    if (!NeedsQuotes(text)) {
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

std::string CsvHeader(bool servers)
{
    std::string csv;
    for (int field = 0; field < Columns(servers); ++field) {
        if (field > 0)
            csv += ',';
        csv += ReportEventTable::Name(static_cast<ReportEventTable::Field>(field));
    }
    return csv + "\r\n";
}

void AppendCsvLine(std::string& csv, const ReportEventTable::Fields& fields, bool servers)
{
    for (int field = 0; field < Columns(servers); ++field) {
        if (field > 0)
            csv += ',';
        AppendCsvField(csv, fields[static_cast<std::size_t>(field)]);
    }
    csv += "\r\n";
}

std::string TableCsv(const ReportEventTable& events, bool servers)
{
    std::string csv = CsvHeader(servers);
    ReportEventTable::Fields fields;
    for (std::size_t row = 0; row < events.Rows(); ++row) {
        for (std::size_t field = 0; field < ReportEventTable::FieldCount; ++field)
            fields[field] = events.Text(row, static_cast<ReportEventTable::Field>(field));
        AppendCsvLine(csv, fields, servers);
    }
    return csv;
}

}  // namespace ostrel

#pragma once

#include "ReportEventTable.h"

#include <string>

namespace ostrel {

// The jobs of a report as CSV (RFC 4180), the columns named by the first
// line: "day,month,year,hour,min,doc,pages,cost,printer,user", and
// ",server" after them for jobs that carry their server. Every line ends
// with CRLF; a field holding a comma, a double quote, a carriage return
// or a line feed is quoted, its quotes doubled. Texts stay UTF-8.
std::string CsvHeader(bool servers);
void AppendCsvLine(std::string& csv, const ReportEventTable::Fields& fields, bool servers);

// The header and every job of a table.
std::string TableCsv(const ReportEventTable& events, bool servers);

}  // namespace ostrel

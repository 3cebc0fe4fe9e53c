#pragma once

#include "ReportResult.h"

#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// One job of a report, the texts of its event element's children as the
// monitor wrote them.
struct ReportEvent {
    std::string day, month, year, hour, min, doc, pages, cost, printer, user;

    bool operator==(const ReportEvent&) const = default;
};

// The events of a report document, in document order. A child an event
// lacks reads as the empty text; children of other names are ignored. A
// document that is not well-formed, or whose root is not a log element,
// gives a message that says so.
ReportResult<std::vector<ReportEvent>> ReadReportEvents(std::string_view document);

// The events as CSV (RFC 4180): the header line
// "day,month,year,hour,min,doc,pages,cost,printer,user", then one line per
// event, every line ended by CRLF. A field holding a comma, a double quote,
// a carriage return or a line feed is quoted, its quotes doubled. Texts
// stay UTF-8, as they are.
std::string ReportCsv(const std::vector<ReportEvent>& events);

}  // namespace ostrel

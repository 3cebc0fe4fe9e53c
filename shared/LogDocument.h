#pragma once

#include <string>
#include <string_view>

namespace ostrel {

// The head of a report document up to its caption: the XML declaration
// (UTF-8, which is what the logs hold), the instruction naming the
// stylesheet at `stylesheetHref`, and "<log>".
std::string LogDocumentHeader(std::string_view stylesheetHref);

// The period caption that follows the header: "<period>text</period>".
std::string PeriodCaption(std::string_view text);

// A report document made from the bytes of a period log: `head` (the XML
// declaration, the stylesheet instruction, "<log>" and the period caption)
// written over the log's leading blanks, the records as they are, and
// "</log>". Should a damaged log have fewer blanks than `head` needs, the
// head replaces the blanks there are, so that no record is overwritten. A
// record the monitor had begun but not finished when the log was read is
// left out; any other tail is kept, so that damage shows in the document.
// The console's reports and the daily mail both build theirs here.
std::string CompleteLogDocument(std::string_view periodLog, std::string_view head);

}  // namespace ostrel

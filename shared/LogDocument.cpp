#include "LogDocument.h"

#include <algorithm>

namespace ostrel {
namespace {

constexpr std::string_view kEventEnd = "</event>";

// The records of a log up to the end of its last whole record, with the
// exceptions above: a tail of line ends only, or an unfinished record.
std::string_view WholeRecords(std::string_view body)
{
    const size_t lastEnd = body.rfind(kEventEnd);
    const size_t cut = lastEnd == std::string_view::npos ? body.find_first_not_of(' ') : lastEnd + kEventEnd.size();
    if (cut == std::string_view::npos)
        return body;
    std::string_view tail = body.substr(cut);
    if (!tail.empty() && tail.front() == '\r')
        tail.remove_prefix(1);
    const bool lineEndsOnly = tail.find_first_not_of("\r\n") == std::string_view::npos;
    const bool unfinishedRecord =
        tail.size() >= 2 && tail[0] == '\n' && tail[1] == '<' && tail.find(kEventEnd) == std::string_view::npos;
    return lineEndsOnly || unfinishedRecord ? body.substr(0, cut) : body;
}

}  // namespace

std::string LogDocumentHeader(std::string_view stylesheetHref)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><?xml-stylesheet href='" + std::string(stylesheetHref) +
           "' type='text/xsl'?><log>";
}

std::string PeriodCaption(std::string_view text)
{
    return "<period>" + std::string(text) + "</period>";
}

std::string CompleteLogDocument(std::string_view periodLog, std::string_view head)
{
    std::string document(head);
    const size_t blanks = std::min(periodLog.find_first_not_of(' '), periodLog.size());
    document += WholeRecords(periodLog.substr(std::min(blanks, document.size())));
    document += "</log>";
    return document;
}

}  // namespace ostrel

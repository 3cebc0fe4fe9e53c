#include "ReportEvents.h"

#include "XmlSupport.h"

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
    using Result = ReportResult<std::vector<ReportEvent>>;
    ReportResult<xml::Document> document = xml::ParseDocument(bytes, "report.xml");
    if (!document)
        return Result::Failure(document.Error());
    const xmlNode* root = xmlDocGetRootElement(document->get());
    if (!root || !xml::NameIs(root, "log"))
        return Result::Failure("The report document cannot be read: its root element is not log.");

    std::vector<ReportEvent> events;
    for (const xmlNode* node = root->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || !xml::NameIs(node, "event"))
            continue;
        ReportEvent& event = events.emplace_back();
        for (const xmlNode* child = node->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE)
                continue;
            for (const auto& [name, field] : Fields())
                if (xml::NameIs(child, name))
                    event.*field = xml::NodeText(child);
        }
    }
    return events;
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

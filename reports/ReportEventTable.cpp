#include "ReportEventTable.h"

#include "XmlSupport.h"

#include <libxml/parser.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

namespace ostrel {

namespace {

constexpr const char* kNames[ReportEventTable::FieldCount] = {"day",   "month", "year",    "hour", "min",   "doc",
                                                              "pages", "cost",  "printer", "user", "server"};

int FieldOf(const xmlChar* name)
{
    for (int field = 0; field < ReportEventTable::FieldCount; ++field)
        if (std::strcmp(reinterpret_cast<const char*>(name), kNames[field]) == 0)
            return field;
    return -1;
}

struct ParserFree {
    void operator()(xmlParserCtxt* context) const { xmlFreeParserCtxt(context); }
};

}  // namespace

// The SAX handlers' state: where the reader is in log/event/field.
struct EventTableReader {
    ReportEventTable table;
    int depth = 0;
    bool badRoot = false;
    bool inEvent = false;
    int field = -1;
    std::uint32_t fieldStart = 0;

    static EventTableReader& Of(void* context)
    {
        return *static_cast<EventTableReader*>(static_cast<xmlParserCtxt*>(context)->_private);
    }

    static void Start(void* context, const xmlChar* name, const xmlChar*, const xmlChar*, int, const xmlChar**, int,
                      int, const xmlChar**)
    {
        EventTableReader& reader = Of(context);
        ++reader.depth;
        const char* text = reinterpret_cast<const char*>(name);
        if (reader.depth == 1)
            reader.badRoot = std::strcmp(text, "log") != 0;
        else if (reader.depth == 2 && std::strcmp(text, "event") == 0) {
            reader.inEvent = true;
            reader.table.rows_.emplace_back();
        } else if (reader.depth == 3 && reader.inEvent) {
            reader.field = FieldOf(name);
            reader.fieldStart = static_cast<std::uint32_t>(reader.table.text_.size());
        }
    }

    static void End(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
    {
        EventTableReader& reader = Of(context);
        if (reader.depth == 3 && reader.field >= 0) {
            const auto length = static_cast<std::uint32_t>(reader.table.text_.size()) - reader.fieldStart;
            reader.table.rows_.back()[static_cast<std::size_t>(reader.field)] = {reader.fieldStart, length};
            reader.field = -1;
        } else if (reader.depth == 2) {
            reader.inEvent = false;
        }
        --reader.depth;
    }

    static void Characters(void* context, const xmlChar* text, int length)
    {
        EventTableReader& reader = Of(context);
        if (reader.field >= 0 && reader.depth >= 3)
            reader.table.text_.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
    }
};

ReportResult<ReportEventTable> ReportEventTable::Read(std::string_view document)
{
    using Result = ReportResult<ReportEventTable>;
    xml::InitLibraries();
    if (document.size() > static_cast<std::size_t>(INT_MAX))
        return Result::Failure("The report document is too large to be read.");
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = &EventTableReader::Start;
    handler.endElementNs = &EventTableReader::End;
    handler.characters = &EventTableReader::Characters;
    EventTableReader reader;
    std::unique_ptr<xmlParserCtxt, ParserFree> context(
        xmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, "report.xml"));
    if (!context)
        return Result::Failure("The report document cannot be read: out of memory.");
    // The handlers find the reader through the context they are given.
    context->_private = &reader;
    xmlCtxtUseOptions(context.get(), XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    // In pieces, as a push parser expects them.
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t at = 0; at < document.size() && context->wellFormed; at += kPiece) {
        const std::size_t piece = std::min(kPiece, document.size() - at);
        xmlParseChunk(context.get(), document.data() + at, static_cast<int>(piece), 0);
    }
    xmlParseChunk(context.get(), nullptr, 0, 1);
    if (!context->wellFormed) {
        const xmlError* error = xmlCtxtGetLastError(context.get());
        std::string message = "The report document cannot be read: it is not well-formed XML";
        if (error && error->message)
            message += " (line " + std::to_string(error->line) + ": " + xml::OneLine(error->message) + ")";
        return Result::Failure(message + ".");
    }
    if (reader.depth != 0 || reader.badRoot)
        return Result::Failure("The report document cannot be read: its root element is not log.");
    return std::move(reader.table);
}

std::string_view ReportEventTable::Text(std::size_t row, Field field) const
{
    const Span span = rows_[row][static_cast<std::size_t>(field)];
    return std::string_view(text_).substr(span.start, span.length);
}

ReportEvent ReportEventTable::Event(std::size_t row) const
{
    const auto text = [&](Field field) { return std::string(Text(row, field)); };
    return {text(Day), text(Month), text(Year), text(Hour),    text(Min),
            text(Doc), text(Pages), text(Cost), text(Printer), text(User)};
}

std::vector<ReportEvent> ReportEventTable::Events() const
{
    std::vector<ReportEvent> events;
    events.reserve(Rows());
    for (std::size_t row = 0; row < Rows(); ++row)
        events.push_back(Event(row));
    return events;
}

const char* ReportEventTable::Name(Field field)
{
    return kNames[field];
}

void ReportEventTable::Reserve(std::size_t rows, std::size_t textBytes)
{
    rows_.reserve(rows);
    text_.reserve(textBytes);
}

void ReportEventTable::Append(const Fields& fields)
{
    auto& row = rows_.emplace_back();
    for (std::size_t field = 0; field < FieldCount; ++field) {
        row[field] = {static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(fields[field].size())};
        text_.append(fields[field]);
    }
}

}  // namespace ostrel

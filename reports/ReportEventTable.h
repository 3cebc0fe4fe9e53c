#pragma once

#include "ReportEvents.h"
#include "ReportResult.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

// The events of a report document, read in one pass without building the
// document's tree, their texts kept in one block: a year of a busy office
// (100,000 jobs) takes a few megabytes. Fields are the children of an
// event element as the monitor writes them; a missing one reads as the
// empty text, a repeated one as its last occurrence, other children are
// ignored. A document that is not well-formed, or whose root is not a log
// element, gives a message that says so. Jobs from the central store carry
// their server, a field the machine's own documents do not have.
class ReportEventTable {
public:
    enum Field { Day, Month, Year, Hour, Min, Doc, Pages, Cost, Printer, User, Server, FieldCount };
    using Fields = std::array<std::string_view, FieldCount>;

    static ReportResult<ReportEventTable> Read(std::string_view document);

    std::size_t Rows() const { return rows_.size(); }
    std::string_view Text(std::size_t row, Field field) const;
    ReportEvent Event(std::size_t row) const;
    std::vector<ReportEvent> Events() const;

    // The element name of a field: "day", "month", ...
    static const char* Name(Field field);

    // Appends one event; the texts are copied.
    void Append(const Fields& fields);
    // Room for `rows` events of `textBytes` in all, so that a table whose
    // size is known beforehand grows without copying itself.
    void Reserve(std::size_t rows, std::size_t textBytes);

private:
    struct Span {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
    };
    friend struct EventTableReader;

    std::string text_;
    std::vector<std::array<Span, FieldCount>> rows_;
};

}  // namespace ostrel

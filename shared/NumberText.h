#pragma once

#include <charconv>
#include <optional>
#include <string_view>
#include <system_error>

namespace ostrel {

// The whole of `text` as a number of type `Number`: nothing when it is
// empty, has anything besides the digits, or does not fit. Stored numbers
// (journal lines, registry values) are read through it, so that a line cut
// short or a value edited by hand is refused rather than half read.
template <class Number>
std::optional<Number> NumberIn(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

}  // namespace ostrel

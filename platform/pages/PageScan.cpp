#include "PageScan.h"

namespace ostrel::pages {

std::optional<std::uint64_t> LeadingNumber(std::string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    std::uint64_t value = 0;
    const size_t first = at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(text[at] - '0'), 1ULL << 40);
    if (at == first)
        return std::nullopt;
    return value;
}

std::string_view WithoutPjl(std::string_view document)
{
    for (;;) {
        if (StartsWith(document, kUel)) {
            document.remove_prefix(kUel.size());
        } else if (StartsWith(document, "@PJL")) {
            const size_t end = document.find('\n');
            document.remove_prefix(end == std::string_view::npos ? document.size() : end + 1);
        } else if (!document.empty() && (document.front() == '\r' || document.front() == '\n')) {
            document.remove_prefix(1);
        } else {
            return document;
        }
    }
}

bool IsPclXlHeader(std::string_view data)
{
    return data.size() > 2 && (data[0] == '(' || data[0] == ')' || data[0] == '\'') &&
           data.substr(1, 10) == " HP-PCL XL";
}

}  // namespace ostrel::pages

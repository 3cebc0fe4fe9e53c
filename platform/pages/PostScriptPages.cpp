#include "PageCount.h"
#include "PageScan.h"

#include <cstring>

namespace ostrel::pages {
namespace {

// Pages by the document structuring comments: the "%%Page:" comments that
// open each page, else the "%%Pages:" total (the last one wins; "(atend)"
// defers to it), else the showpage operators. The total is a claim, so it
// is believed only up to one page per byte of the document.
std::uint32_t PostScriptPages(std::string_view document, const CountLimits& limits)
{
    std::uint64_t pageComments = 0, showpages = 0;
    std::optional<std::uint64_t> total;
    for (size_t at = 0; at < document.size();) {
        size_t end = document.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = document.size();
        const std::string_view line = document.substr(at, end - at);
        if (StartsWith(line, "%%Page:")) {
            ++pageComments;
        } else if (StartsWith(line, "%%Pages:")) {
            if (const auto pages = LeadingNumber(line.substr(8)))
                total = pages;
        } else if (!StartsWith(line, "%")) {
            for (size_t found = line.find("showpage"); found != std::string_view::npos;
                 found = line.find("showpage", found + 8)) {
                const bool startsWord = found == 0 || std::strchr(" \t{}[]()/", line[found - 1]) != nullptr;
                const size_t after = found + 8;
                const bool endsWord = after == line.size() || std::strchr(" \t{}[]()/%", line[after]) != nullptr;
                showpages += startsWord && endsWord;
            }
        }
        at = end + 1;
    }
    if (pageComments)
        return Capped(pageComments, limits);
    if (total && *total <= document.size())
        return Capped(*total, limits);
    return Capped(showpages, limits);
}

}  // namespace

std::uint32_t CountPostScriptPages(std::string_view document, const CountLimits& limits)
{
    return PostScriptPages(WithoutPjl(document), limits);
}

}  // namespace ostrel::pages

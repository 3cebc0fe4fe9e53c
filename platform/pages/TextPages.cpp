#include "PageCount.h"
#include "PageScan.h"

namespace ostrel::pages {

// 66 lines a page, a form feed starts a new one; a page is counted once
// something is on it.
std::uint32_t CountTextPages(std::string_view document, const CountLimits& limits)
{
    constexpr int kLinesPerPage = 66;
    std::uint64_t pages = 0;
    int line = 0;
    bool pageOpen = false;
    for (const char c : document) {
        if (c == '\f') {
            pages += !pageOpen;  // a form feed on an empty page still feeds it
            pageOpen = false;
            line = 0;
            continue;
        }
        if (!pageOpen) {
            ++pages;
            pageOpen = true;
        }
        if (c == '\n' && ++line == kLinesPerPage) {
            pageOpen = false;
            line = 0;
        }
    }
    return Capped(pages, limits);
}

}  // namespace ostrel::pages

#include "PageCount.h"
#include "PageScan.h"
#include "RunLengthLines.h"

namespace ostrel::pages {
namespace {

std::uint32_t AppleRasterPages(std::string_view document, const CountLimits& limits)
{
    // "UNIRAST", a NUL, the page count, then per page a 32-byte header
    // (bits per pixel first, width and height at 12 and 16) and its lines.
    constexpr size_t kFileHeader = 12, kPageHeader = 32;
    Reader in{document, kFileHeader};
    if (!in.Has(0))
        return 0;
    std::uint64_t pages = 0;
    while (pages < limits.maxPages && in.Has(kPageHeader)) {
        const size_t header = in.at;
        const std::uint64_t pixelBytes = static_cast<unsigned char>(document[header]) / 8;
        const std::uint64_t width = in.Word(header + 12, false);
        const std::uint64_t height = in.Word(header + 16, false);
        in.at += kPageHeader;
        ++pages;
        if (!SkipRunLengthLines(in, height, width * pixelBytes, pixelBytes))
            break;
    }
    return Capped(pages, limits);
}

}  // namespace

std::uint32_t CountAppleRasterPages(std::string_view document, const CountLimits& limits)
{
    const std::string_view data = WithoutPjl(document);
    if (!StartsWith(data, std::string_view("UNIRAST\0", 8)))
        return 0;
    return AppleRasterPages(data, limits);
}

}  // namespace ostrel::pages

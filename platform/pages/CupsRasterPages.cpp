#include "PageCount.h"
#include "PageScan.h"
#include "RunLengthLines.h"

#include <algorithm>

namespace ostrel::pages {
namespace {

std::uint32_t CupsRasterPages(std::string_view document, const CountLimits& limits)
{
    // The sync word gives the version and the byte order.
    const std::string_view sync = document.substr(0, 4);
    const bool littleEndian = sync == "tSaR" || sync == "2SaR" || sync == "3SaR";
    const bool compressed = sync == "RaSt" || sync == "tSaR" || sync == "RaS2" || sync == "2SaR";
    if (!littleEndian && !compressed && sync != "RaS3")
        return 0;
    const size_t headerBytes = sync == "RaSt" || sync == "tSaR" ? 420 : 1796;
    constexpr size_t kHeight = 376, kBitsPerColor = 384, kBitsPerPixel = 388, kBytesPerLine = 392, kColorOrder = 396,
                     kNumColors = 420;
    Reader in{document, 4};
    std::uint64_t pages = 0;
    while (pages < limits.maxPages && in.Has(headerBytes)) {
        const size_t header = in.at;
        const std::uint64_t height = in.Word(header + kHeight, littleEndian);
        const std::uint64_t lineBytes = in.Word(header + kBytesPerLine, littleEndian);
        const std::uint32_t order = in.Word(header + kColorOrder, littleEndian);
        const std::uint64_t bitsPerColor = in.Word(header + kBitsPerColor, littleEndian);
        const std::uint64_t bitsPerPixel = in.Word(header + kBitsPerPixel, littleEndian);
        const std::uint64_t colors = headerBytes > kNumColors ? in.Word(header + kNumColors, littleEndian) : 1;
        in.at += headerBytes;
        ++pages;
        // Planar pages store one line per colour; banded ones pack the
        // colours into each line.
        const std::uint64_t lines = order == 2 ? height * std::clamp<std::uint64_t>(colors, 1, 15) : height;
        if (!compressed) {
            const std::uint64_t bytes = lines * lineBytes;
            if (!in.Has(bytes))
                break;
            in.at += static_cast<size_t>(bytes);
        } else {
            const std::uint64_t pixelBytes = order == 0 ? (bitsPerPixel + 7) / 8 : (bitsPerColor + 7) / 8;
            if (!SkipRunLengthLines(in, lines, lineBytes, pixelBytes))
                break;
        }
    }
    return Capped(pages, limits);
}

}  // namespace

std::uint32_t CountCupsRasterPages(std::string_view document, const CountLimits& limits)
{
    return CupsRasterPages(WithoutPjl(document), limits);
}

}  // namespace ostrel::pages

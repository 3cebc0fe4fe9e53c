#include "PageCount.h"
#include "PageScan.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace ostrel::pages {
namespace {

bool LooksLikeText(std::string_view document)
{
    if (document.empty())
        return false;
    const std::string_view head = document.substr(0, 4096);
    return std::none_of(head.begin(), head.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != '\b';
    });
}

}  // namespace

Format DetectFormat(std::string_view document)
{
    const std::string_view data = WithoutPjl(document);
    if (data.substr(0, 1024).find("%PDF-") != std::string_view::npos)
        return Format::Pdf;
    if (StartsWith(data, "%!") || StartsWith(data, "\x04%!") || StartsWith(data, "\xc5\xd0\xd3\xc6"))
        return Format::PostScript;
    if (IsPclXlHeader(data))
        return Format::PclXl;
    const std::string_view sync = data.substr(0, 4);
    for (std::string_view raster : {"RaSt", "tSaR", "RaS2", "2SaR", "RaS3", "3SaR"})
        if (sync == raster)
            return Format::CupsRaster;
    if (StartsWith(data, std::string_view("UNIRAST\0", 8)))
        return Format::AppleRaster;
    if (!data.empty() && data.front() == kEsc)
        return Format::Pcl;
    if (LooksLikeText(data))
        return Format::Text;
    return Format::Unknown;
}

std::uint32_t CountPages(std::string_view document, const CountLimits& limits)
{
    using Counter = std::uint32_t (*)(std::string_view, const CountLimits&);
    static constexpr std::pair<Format, Counter> kCounters[] = {
        {Format::Pdf, CountPdfPages},
        {Format::PostScript, CountPostScriptPages},
        {Format::Pcl, CountPclPages},
        {Format::PclXl, CountPclXlPages},
        {Format::CupsRaster, CountCupsRasterPages},
        {Format::AppleRaster, CountAppleRasterPages},
        {Format::Text, CountTextPages},
    };
    document = document.substr(0, limits.maxBytes);
    const Format format = DetectFormat(document);
    for (const auto& [known, count] : kCounters)
        if (known == format)
            return count(document, limits);
    return 0;
}

std::uint32_t Impressions(std::uint32_t pages, std::uint32_t copies, std::uint32_t numberUp)
{
    const std::uint64_t up = std::max<std::uint32_t>(numberUp, 1);
    const std::uint64_t sides = (pages + up - 1) / up;
    const std::uint64_t total = sides * std::max<std::uint32_t>(copies, 1);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace ostrel::pages

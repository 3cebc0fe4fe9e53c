// The page counters on documents from any user. The first byte picks the
// counter (beyond the last one: detection by content, as for a job), the
// rest is the document. Every counter is bounded by its limits and never
// reads past the document, which the sanitizers check.

#include "FuzzSupport.h"
#include "PageCount.h"

#include <array>

using namespace ostrel;
using namespace ostrel::pages;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view document = fuzz::Text(data + 1, size - 1);
    CountLimits limits;
    limits.maxPages = 1000;
    using Counter = std::uint32_t (*)(std::string_view, const CountLimits&);
    static constexpr std::array<Counter, 8> kCounters{
        CountPdfPages,        CountPostScriptPages,  CountPclPages,  CountPclXlPages,
        CountCupsRasterPages, CountAppleRasterPages, CountTextPages, CountPages,
    };
    const std::uint32_t pages = kCounters[data[0] % kCounters.size()](document, limits);
    FUZZ_CHECK(pages <= limits.maxPages);
    // The same document counts the same, and detection never fails.
    FUZZ_CHECK(kCounters[data[0] % kCounters.size()](document, limits) == pages);
    DetectFormat(document);
    FUZZ_CHECK(Impressions(pages, data[0], 1) >= pages || data[0] == 0);
    return 0;
}

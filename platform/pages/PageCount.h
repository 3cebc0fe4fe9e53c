#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel::pages {

// What a counter may spend on one document. The bytes are the caller's to
// bound (it reads at most maxBytes of a job); a counter never allocates from
// a size field of the document, and no count exceeds maxPages.
struct CountLimits {
    std::size_t maxBytes = std::size_t{32} << 20;
    std::uint32_t maxPages = 100000;
};

enum class Format { Unknown, Pdf, PostScript, Pcl, PclXl, CupsRaster, AppleRaster, Text };

// The format by the document's first bytes, after any PJL prologue.
Format DetectFormat(std::string_view document);

// The pages the document asks to print once, copies the document itself
// asks for included (PCL's number of copies, PCL XL's page copies); 0 when
// its format is unknown or it cannot be read. Pure: never reads past
// `document`, never loops without consuming input.
std::uint32_t CountPages(std::string_view document, const CountLimits& limits = {});

// One counter per format, for the tests and the benchmark.
std::uint32_t CountPdfPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountPostScriptPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountPclPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountPclXlPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountCupsRasterPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountAppleRasterPages(std::string_view document, const CountLimits& limits);
std::uint32_t CountTextPages(std::string_view document, const CountLimits& limits);

// What a job of `pages` document pages costs in impressions, as CUPS counts
// them: `numberUp` pages share one side when the scheduler's filters lay
// them out (never on a raw queue), and each copy prints them all again.
// Saturates instead of overflowing.
std::uint32_t Impressions(std::uint32_t pages, std::uint32_t copies, std::uint32_t numberUp);

}  // namespace ostrel::pages

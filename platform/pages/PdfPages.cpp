#include "PageCount.h"

#include <qpdf/QPDF.hh>

#include <algorithm>
#include <exception>
#include <new>

namespace ostrel::pages {

std::uint32_t CountPdfPages(std::string_view document, const CountLimits& limits)
{
    // qpdf reads the page tree from memory without copying it, rebuilds a
    // damaged cross-reference table by scanning, and throws on what it
    // cannot make sense of: a page tree with loops, a truncated object.
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.setAttemptRecovery(true);
        pdf.processMemoryFile("job", document.data(), document.size());
        const std::size_t pages = pdf.getAllPages().size();
        return static_cast<std::uint32_t>(std::min<std::size_t>(pages, limits.maxPages));
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace ostrel::pages

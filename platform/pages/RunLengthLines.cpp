#include "RunLengthLines.h"

#include <algorithm>

namespace ostrel::pages {

bool SkipRunLengthLines(Reader& in, std::uint64_t lines, std::uint64_t lineBytes, std::uint64_t pixelBytes)
{
    if (!pixelBytes || !lineBytes)
        return false;
    while (lines > 0) {
        if (!in.Has(1))
            return false;
        const std::uint64_t repeat = static_cast<unsigned char>(in.data[in.at++]) + 1ULL;
        for (std::uint64_t filled = 0; filled < lineBytes;) {
            if (!in.Has(1))
                return false;
            const unsigned run = static_cast<unsigned char>(in.data[in.at++]);
            if (run == 128)
                break;
            const std::uint64_t pixels = run < 128 ? run + 1ULL : 257ULL - run;
            const std::uint64_t stored = run < 128 ? pixelBytes : pixels * pixelBytes;
            if (!in.Has(stored))
                return false;
            in.at += static_cast<size_t>(stored);
            filled += pixels * pixelBytes;
        }
        lines -= std::min(lines, repeat);
    }
    return true;
}

}  // namespace ostrel::pages

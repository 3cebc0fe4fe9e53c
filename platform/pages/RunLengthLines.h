#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ostrel::pages {

// A raster document and how far it has been read.
struct Reader {
    std::string_view data;
    size_t at = 0;

    bool Has(std::uint64_t bytes) const { return at <= data.size() && bytes <= data.size() - at; }
    std::uint32_t Word(size_t offset, bool littleEndian) const
    {
        std::uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<unsigned char>(data[offset + (littleEndian ? 3 - i : i)]);
        return value;
    }
};

// Steps over `lines` lines of `lineBytes` bytes in the run-length coding of
// CUPS raster 2 and Apple raster: a line-repeat byte, then runs of pixels
// (0..127: the next pixel n+1 times; 129..255: 257-n literal pixels; 128:
// the rest of the line blank). False when the data ends first.
bool SkipRunLengthLines(Reader& in, std::uint64_t lines, std::uint64_t lineBytes, std::uint64_t pixelBytes);

}  // namespace ostrel::pages

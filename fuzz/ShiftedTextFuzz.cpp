// The shifted form of the mail settings: every text comes back whole, the
// stored form never holds a zero byte, and UTF-8 keeps its length.

#include "FuzzSupport.h"
#include "SafeText.h"
#include "ShiftedText.h"

#include <string>

using namespace ostrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::Text(data, size);

    const std::string stored = ShiftText(text);
    FUZZ_CHECK(stored.find('\0') == std::string::npos);
    FUZZ_CHECK(UnshiftText(stored) == text);
    if (SanitizeXmlText(text) == text)
        FUZZ_CHECK(stored.size() == text.size());

    // A value stored by a plain byte-wise shift reads back too, unless the
    // shift made an escape followed by a code byte.
    std::string plainShift;
    for (const char c : text)
        plainShift += static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(c) + kTextShift));
    if (plainShift.find("\x01\x01") == std::string::npos && plainShift.find("\x01\x02") == std::string::npos)
        FUZZ_CHECK(UnshiftText(plainShift) == text);

    // Whatever the store holds reads as some text, and stores back as the same.
    const std::string read = UnshiftText(text);
    FUZZ_CHECK(UnshiftText(ShiftText(read)) == read);
    return 0;
}

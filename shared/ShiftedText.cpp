#include "ShiftedText.h"

namespace ostrel {
namespace {

// The plain byte that would shift to 0, and the one that shifts to the escape.
constexpr unsigned char kZeroByte = static_cast<unsigned char>(0x100 - kTextShift);
constexpr unsigned char kEscapeByte = static_cast<unsigned char>(kZeroByte + 1);
constexpr char kEscape = 0x01;
constexpr char kZeroCode = 0x01;
constexpr char kEscapeCode = 0x02;

static_assert(static_cast<unsigned char>(kEscapeByte + kTextShift) == kEscape);
// Neither special byte may occur in UTF-8 text.
static_assert(kZeroByte >= 0xF5 && kEscapeByte >= 0xF5);

}  // namespace

std::string ShiftText(std::string_view plain)
{
    std::string stored;
    stored.reserve(plain.size());
    for (const char c : plain) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == kZeroByte) {
            stored += kEscape;
            stored += kZeroCode;
        } else if (byte == kEscapeByte) {
            stored += kEscape;
            stored += kEscapeCode;
        } else {
            stored += static_cast<char>(static_cast<unsigned char>(byte + kTextShift));
        }
    }
    return stored;
}

std::string UnshiftText(std::string_view stored)
{
    std::string plain;
    plain.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        if (c == kEscape && i + 1 < stored.size() && (stored[i + 1] == kZeroCode || stored[i + 1] == kEscapeCode)) {
            plain += static_cast<char>(stored[i + 1] == kZeroCode ? kZeroByte : kEscapeByte);
            ++i;
        } else {
            plain += static_cast<char>(static_cast<unsigned char>(static_cast<unsigned char>(c) - kTextShift));
        }
    }
    return plain;
}

}  // namespace ostrel

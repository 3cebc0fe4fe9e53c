#include "SafeText.h"

#include <cstdint>
#include <cstdio>

namespace ostrel {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr size_t kMaxFolderName = 200;                     // bytes, well below the 255 a file system allows

// Length of the valid UTF-8 sequence at the start of `text`, or 0.
size_t ValidSequence(std::string_view text)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates, values past U+10FFFF and the two
    // non-characters XML forbids.
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF)
        return 0;
    return length;
}

bool ForbiddenControl(unsigned char c)
{
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
}

}  // namespace

std::string SanitizeXmlText(std::string_view text)
{
    std::string clean;
    clean.reserve(text.size());
    while (!text.empty()) {
        const size_t length = ValidSequence(text);
        if (length == 0 || (length == 1 && ForbiddenControl(static_cast<unsigned char>(text[0])))) {
            clean += kReplacement;
            text.remove_prefix(1);
        } else {
            clean += text.substr(0, length);
            text.remove_prefix(length);
        }
    }
    return clean;
}

size_t Utf8CutPoint(std::string_view text, size_t limit)
{
    if (limit >= text.size())
        return text.size();
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

std::string UserFolderName(std::string_view user)
{
    std::string name(user);
    for (char& c : name)
        if (c == '/' || c == '\0')
            c = '_';
    if (name == "." || name == "..")
        name.insert(0, "_");
    if (name.size() > kMaxFolderName) {
        // FNV-1a of the whole name tells apart names that share their start.
        std::uint32_t hash = 2166136261u;
        for (unsigned char c : user)
            hash = (hash ^ c) * 16777619u;
        const size_t cut = Utf8CutPoint(name, kMaxFolderName - 9);
        char suffix[10];
        std::snprintf(suffix, sizeof suffix, "~%08x", hash);
        name = name.substr(0, cut) + suffix;
    }
    return name;
}

std::string PrinterFolderName(std::string_view id)
{
    // An ID is whatever settings.xml holds: the user folders' rule keeps it
    // one name inside Logs/Printers.
    return "Printer_" + UserFolderName(id);
}

}  // namespace ostrel

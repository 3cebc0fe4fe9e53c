#include "PageCount.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

namespace ostrel::pages {
namespace {

constexpr char kEsc = '\x1b';
constexpr std::string_view kUel = "\x1b%-12345X";
// Copies a document may ask of a page itself: CUPS' own limit (MaxCopies).
constexpr std::uint64_t kMaxCopies = 9999;

bool StartsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

std::uint32_t Capped(std::uint64_t pages, const CountLimits& limits)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, limits.maxPages));
}

// A decimal number at the start of `text`, saturated; nothing without digits.
std::optional<std::uint64_t> LeadingNumber(std::string_view text)
{
    size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
        ++at;
    std::uint64_t value = 0;
    const size_t first = at;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(text[at] - '0'), 1ULL << 40);
    if (at == first)
        return std::nullopt;
    return value;
}

// The document after the universal exit and PJL lines that drivers put
// before the page description.
std::string_view WithoutPjl(std::string_view document)
{
    for (;;) {
        if (StartsWith(document, kUel)) {
            document.remove_prefix(kUel.size());
        } else if (StartsWith(document, "@PJL")) {
            const size_t end = document.find('\n');
            document.remove_prefix(end == std::string_view::npos ? document.size() : end + 1);
        } else if (!document.empty() && (document.front() == '\r' || document.front() == '\n')) {
            document.remove_prefix(1);
        } else {
            return document;
        }
    }
}

// --- PostScript --------------------------------------------------------

// Pages by the document structuring comments: the "%%Page:" comments that
// open each page, else the "%%Pages:" total (the last one wins; "(atend)"
// defers to it), else the showpage operators. The total is a claim, so it
// is believed only up to one page per byte of the document.
std::uint32_t PostScriptPages(std::string_view document, const CountLimits& limits)
{
    std::uint64_t pageComments = 0, showpages = 0;
    std::optional<std::uint64_t> total;
    for (size_t at = 0; at < document.size();) {
        size_t end = document.find_first_of("\r\n", at);
        if (end == std::string_view::npos)
            end = document.size();
        const std::string_view line = document.substr(at, end - at);
        if (StartsWith(line, "%%Page:")) {
            ++pageComments;
        } else if (StartsWith(line, "%%Pages:")) {
            if (const auto pages = LeadingNumber(line.substr(8)))
                total = pages;
        } else if (!StartsWith(line, "%")) {
            for (size_t found = line.find("showpage"); found != std::string_view::npos;
                 found = line.find("showpage", found + 8)) {
                const bool startsWord = found == 0 || std::strchr(" \t{}[]()/", line[found - 1]) != nullptr;
                const size_t after = found + 8;
                const bool endsWord = after == line.size() || std::strchr(" \t{}[]()/%", line[after]) != nullptr;
                showpages += startsWord && endsWord;
            }
        }
        at = end + 1;
    }
    if (pageComments)
        return Capped(pageComments, limits);
    if (total && *total <= document.size())
        return Capped(*total, limits);
    return Capped(showpages, limits);
}

// --- PCL 5 -------------------------------------------------------------

// Pages by their ejects: a form feed, "ESC &l0H", and a reset (ESC E) or
// the end of the job after something was put on the page. Binary data of
// raster, font, pattern and transparent-print commands is skipped by its
// stated length, bounded by what is left. "ESC &l#X" asks each page that
// many times.
class PclScanner {
public:
    PclScanner(std::string_view data, const CountLimits& limits) : data_(data), limits_(limits) {}

    std::uint32_t Count()
    {
        while (at_ < data_.size() && ejected_ < limits_.maxPages) {
            const char c = data_[at_];
            if (c == kEsc) {
                if (!Escape())
                    break;
            } else if (c == '\f') {
                Eject();
                ++at_;
            } else {
                if (static_cast<unsigned char>(c) >= 0x20)
                    marked_ = true;
                ++at_;
            }
        }
        if (marked_)
            Eject();
        return Capped(ejected_, limits_);
    }

private:
    void Eject()
    {
        ejected_ += copies_;
        marked_ = false;
    }

    // Reads one escape sequence at at_; false at the end of the job.
    bool Escape()
    {
        if (at_ + 1 >= data_.size()) {
            at_ = data_.size();
            return true;
        }
        const char first = data_[at_ + 1];
        if (StartsWith(data_.substr(at_), kUel))
            return false;
        if (first == 'E') {
            if (marked_)
                Eject();
            at_ += 2;
            return true;
        }
        if (first < 0x21 || first > 0x2f) {
            at_ += 2;  // a two-character command
            return true;
        }
        // ESC, parameter character, group character, then value and
        // parameter pairs; a lowercase parameter continues the sequence.
        at_ += 2;
        char group = 0;
        if (at_ < data_.size() && data_[at_] >= 0x60 && data_[at_] <= 0x7e)
            group = data_[at_++];
        if (first == '%') {
            return HpglOrLanguage();
        }
        while (at_ < data_.size()) {
            std::uint64_t value = 0;
            bool negative = false;
            while (at_ < data_.size() && (data_[at_] == '+' || data_[at_] == '-' || data_[at_] == ' ')) {
                negative = data_[at_] == '-';
                ++at_;
            }
            while (at_ < data_.size() && data_[at_] >= '0' && data_[at_] <= '9') {
                value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(data_[at_] - '0'), 1ULL << 40);
                ++at_;
            }
            if (at_ < data_.size() && data_[at_] == '.') {
                ++at_;
                while (at_ < data_.size() && data_[at_] >= '0' && data_[at_] <= '9')
                    ++at_;
            }
            if (at_ >= data_.size())
                return true;
            const char parameter = data_[at_++];
            const char upper = static_cast<char>(parameter & ~0x20);
            if (upper < 0x40 || upper > 0x5e)
                return true;  // not a PCL sequence: carry on after it
            Command(first, group, upper, negative ? 0 : value);
            if (parameter >= 0x40 && parameter <= 0x5e)
                return true;  // uppercase ends the sequence
        }
        return true;
    }

    void Command(char first, char group, char parameter, std::uint64_t value)
    {
        const bool carriesData =
            (parameter == 'W' && (first == '*' || first == '(' || first == ')' || first == '&')) ||
            (first == '*' && group == 'b' && parameter == 'V') || (first == '&' && group == 'p' && parameter == 'X');
        if (carriesData) {
            at_ += static_cast<size_t>(std::min<std::uint64_t>(value, data_.size() - at_));
            if (first == '*' && group == 'b')
                marked_ = true;
            return;
        }
        if (first == '&' && group == 'l' && parameter == 'X')
            copies_ = std::clamp<std::uint64_t>(value, 1, kMaxCopies);
        else if (first == '&' && group == 'l' && parameter == 'H' && value == 0)
            Eject();
        else if (first == '*' && group == 'r' && parameter == 'A')
            marked_ = true;  // raster graphics start
    }

    // ESC %#B enters HP-GL/2, which draws until ESC %#A; ESC %-12345X ends
    // the job (already caught by the caller).
    bool HpglOrLanguage()
    {
        while (at_ < data_.size() && (data_[at_] == '-' || (data_[at_] >= '0' && data_[at_] <= '9')))
            ++at_;
        if (at_ >= data_.size())
            return true;
        const char parameter = data_[at_++];
        if (parameter != 'B')
            return true;
        marked_ = true;
        const size_t back = data_.find(kEsc, at_);
        at_ = back == std::string_view::npos ? data_.size() : back;
        return true;
    }

    std::string_view data_;
    const CountLimits& limits_;
    size_t at_ = 0;
    std::uint64_t ejected_ = 0;
    std::uint64_t copies_ = 1;
    bool marked_ = false;
};

// --- PCL XL ------------------------------------------------------------

// The tags of a PCL XL stream, by the protocol's names.
namespace xl {
constexpr unsigned char kNull = 0x00;
constexpr unsigned char kHorizontalTab = 0x09;
constexpr unsigned char kCarriageReturn = 0x0d;
constexpr unsigned char kSpace = 0x20;
constexpr unsigned char kEscape = 0x1b;  // the universal exit begins
constexpr unsigned char kFirstOperator = 0x41;
constexpr unsigned char kEndPage = 0x44;
constexpr unsigned char kLastOperator = 0xbf;
constexpr unsigned char kUByte = 0xc0;
constexpr unsigned char kUInt16 = 0xc1;
constexpr unsigned char kUByteArray = 0xc8;
constexpr unsigned char kReal32Array = 0xcd;
constexpr unsigned char kSingleValues = 0xc0;  // high nibbles: single, pair, box
constexpr unsigned char kPairs = 0xd0;
constexpr unsigned char kBoxes = 0xe0;
constexpr unsigned char kAttributeUByte = 0xf8;
constexpr unsigned char kAttributeUInt16 = 0xf9;
constexpr unsigned char kDataLength = 0xfa;
constexpr unsigned char kDataLengthByte = 0xfb;
constexpr unsigned char kPageCopies = 0x31;  // an attribute id
}  // namespace xl

// Pages by their EndPage operators, each times its PageCopies attribute.
// Every data type, attribute and embedded block is stepped over by its
// size; an unknown tag ends the count there.
class PclXlScanner {
public:
    PclXlScanner(std::string_view data, bool littleEndian, const CountLimits& limits)
        : data_(data), littleEndian_(littleEndian), limits_(limits)
    {
    }

    std::uint32_t Count()
    {
        while (at_ < data_.size() && pages_ < limits_.maxPages) {
            const auto tag = static_cast<unsigned char>(data_[at_++]);
            if (tag == xl::kNull || (tag >= xl::kHorizontalTab && tag <= xl::kCarriageReturn) || tag == xl::kSpace)
                continue;
            if (tag == xl::kEscape)
                break;  // the universal exit: the job's PCL XL part ends
            if (tag == xl::kEndPage) {
                // EndPage: its attribute list came just before.
                pages_ += lastCopies_ ? lastCopies_ : 1;
                lastCopies_ = 0;
            } else if (tag >= xl::kFirstOperator && tag <= xl::kLastOperator) {
                lastCopies_ = 0;  // another operator took the attributes
            } else if (tag == xl::kAttributeUByte) {
                if (!Take(1))
                    break;
                if (static_cast<unsigned char>(data_[at_ - 1]) == xl::kPageCopies)
                    lastCopies_ = std::clamp<std::uint64_t>(lastValue_, 1, kMaxCopies);
            } else if (tag == xl::kAttributeUInt16) {
                if (!Take(2))
                    break;
            } else if (tag == xl::kDataLength || tag == xl::kDataLengthByte) {
                const size_t width = tag == xl::kDataLength ? 4 : 1;
                if (at_ + width > data_.size())
                    break;
                const std::uint64_t length = Number(width);
                at_ += width;
                if (!Take(length))
                    break;
            } else if (!Value(tag)) {
                break;
            }
        }
        return Capped(pages_, limits_);
    }

private:
    bool Take(std::uint64_t bytes)
    {
        if (bytes > data_.size() - at_)
            return false;
        at_ += static_cast<size_t>(bytes);
        return true;
    }

    std::uint64_t Number(size_t width) const
    {
        std::uint64_t value = 0;
        for (size_t i = 0; i < width; ++i) {
            const auto byte = static_cast<unsigned char>(data_[at_ + (littleEndian_ ? width - 1 - i : i)]);
            value = value << 8 | byte;
        }
        return value;
    }

    // A data value: a single number, a pair, a box or an array.
    bool Value(unsigned char tag)
    {
        static constexpr std::array<size_t, 6> kWidth{1, 2, 4, 2, 4, 4};
        if (tag >= xl::kUByteArray && tag <= xl::kReal32Array) {
            // An array: its element count is itself a ubyte or uint16.
            if (at_ >= data_.size())
                return false;
            const auto countTag = static_cast<unsigned char>(data_[at_++]);
            const size_t countWidth = countTag == xl::kUByte ? 1 : countTag == xl::kUInt16 ? 2 : 0;
            if (!countWidth || at_ + countWidth > data_.size())
                return false;
            const std::uint64_t count = Number(countWidth);
            at_ += countWidth;
            return Take(count * kWidth[tag - xl::kUByteArray]);
        }
        const unsigned type = tag & 0x0f;
        if (type >= kWidth.size())
            return false;
        const size_t width = kWidth[type];
        switch (tag & 0xf0) {
        case xl::kSingleValues:
            if (at_ + width > data_.size())
                return false;
            lastValue_ = type <= 2 ? Number(width) : 0;
            at_ += width;
            return true;
        case xl::kPairs:
            return Take(2 * width);
        case xl::kBoxes:
            return Take(4 * width);
        default:
            return false;
        }
    }

    std::string_view data_;
    const bool littleEndian_;
    const CountLimits& limits_;
    size_t at_ = 0;
    std::uint64_t pages_ = 0;
    std::uint64_t lastCopies_ = 0;
    std::uint64_t lastValue_ = 0;
};

// --- Raster ------------------------------------------------------------

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

std::uint32_t CupsRasterPages(std::string_view document, const CountLimits& limits)
{
    // The sync word gives the version and the byte order.
    const std::string_view sync = document.substr(0, 4);
    const bool littleEndian = sync == "tSaR" || sync == "2SaR" || sync == "3SaR";
    const bool compressed = sync == "RaSt" || sync == "tSaR" || sync == "RaS2" || sync == "2SaR";
    if (!littleEndian && !compressed && sync != "RaS3")
        return 0;
    const size_t headerBytes = sync == "RaSt" || sync == "tSaR" ? 420 : 1796;
    constexpr size_t kHeight = 376, kBitsPerColor = 384, kBitsPerPixel = 388, kBytesPerLine = 392,
                     kColorOrder = 396, kNumColors = 420;
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

std::uint32_t AppleRasterPages(std::string_view document, const CountLimits& limits)
{
    // "UNIRAST", a NUL, the page count, then per page a 32-byte header
    // (bits per pixel first, width and height at 12 and 16) and its lines.
    constexpr size_t kFileHeader = 12, kPageHeader = 32;
    Reader in{document, kFileHeader};
    if (!in.Has(0))
        return 0;
    std::uint64_t pages = 0;
    while (pages < limits.maxPages && in.Has(kPageHeader)) {
        const size_t header = in.at;
        const std::uint64_t pixelBytes = static_cast<unsigned char>(document[header]) / 8;
        const std::uint64_t width = in.Word(header + 12, false);
        const std::uint64_t height = in.Word(header + 16, false);
        in.at += kPageHeader;
        ++pages;
        if (!SkipRunLengthLines(in, height, width * pixelBytes, pixelBytes))
            break;
    }
    return Capped(pages, limits);
}

// --- Plain text --------------------------------------------------------

// 66 lines a page, a form feed starts a new one; a page is counted once
// something is on it.
std::uint32_t TextPages(std::string_view document, const CountLimits& limits)
{
    constexpr int kLinesPerPage = 66;
    std::uint64_t pages = 0;
    int line = 0;
    bool pageOpen = false;
    for (const char c : document) {
        if (c == '\f') {
            pages += !pageOpen;  // a form feed on an empty page still feeds it
            pageOpen = false;
            line = 0;
            continue;
        }
        if (!pageOpen) {
            ++pages;
            pageOpen = true;
        }
        if (c == '\n' && ++line == kLinesPerPage) {
            pageOpen = false;
            line = 0;
        }
    }
    return Capped(pages, limits);
}

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

bool IsPclXlHeader(std::string_view data)
{
    return data.size() > 2 && (data[0] == '(' || data[0] == ')' || data[0] == '\'') &&
           data.substr(1, 10) == " HP-PCL XL";
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
    document = document.substr(0, limits.maxBytes);
    switch (DetectFormat(document)) {
    case Format::Pdf:
        return CountPdfPages(document, limits);
    case Format::PostScript:
        return CountPostScriptPages(document, limits);
    case Format::Pcl:
        return CountPclPages(document, limits);
    case Format::PclXl:
        return CountPclXlPages(document, limits);
    case Format::CupsRaster:
        return CountCupsRasterPages(document, limits);
    case Format::AppleRaster:
        return CountAppleRasterPages(document, limits);
    case Format::Text:
        return CountTextPages(document, limits);
    case Format::Unknown:
        break;
    }
    return 0;
}

std::uint32_t CountPostScriptPages(std::string_view document, const CountLimits& limits)
{
    return PostScriptPages(WithoutPjl(document), limits);
}

std::uint32_t CountPclPages(std::string_view document, const CountLimits& limits)
{
    return PclScanner(WithoutPjl(document), limits).Count();
}

std::uint32_t CountPclXlPages(std::string_view document, const CountLimits& limits)
{
    const std::string_view data = WithoutPjl(document);
    if (!IsPclXlHeader(data))
        return 0;
    // The stream header is one line of text; the binding character says
    // the byte order: ')' low byte first, '(' high byte first.
    const size_t end = data.find('\n');
    if (end == std::string_view::npos)
        return 0;
    return PclXlScanner(data.substr(end + 1), data[0] == ')', limits).Count();
}

std::uint32_t CountCupsRasterPages(std::string_view document, const CountLimits& limits)
{
    return CupsRasterPages(WithoutPjl(document), limits);
}

std::uint32_t CountAppleRasterPages(std::string_view document, const CountLimits& limits)
{
    const std::string_view data = WithoutPjl(document);
    if (!StartsWith(data, std::string_view("UNIRAST\0", 8)))
        return 0;
    return AppleRasterPages(data, limits);
}

std::uint32_t CountTextPages(std::string_view document, const CountLimits& limits)
{
    return TextPages(document, limits);
}

std::uint32_t Impressions(std::uint32_t pages, std::uint32_t copies, std::uint32_t numberUp)
{
    const std::uint64_t up = std::max<std::uint32_t>(numberUp, 1);
    const std::uint64_t sides = (pages + up - 1) / up;
    const std::uint64_t total = sides * std::max<std::uint32_t>(copies, 1);
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace ostrel::pages

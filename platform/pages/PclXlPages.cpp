#include "PageCount.h"
#include "PageScan.h"

#include <algorithm>
#include <array>

namespace ostrel::pages {
namespace {

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
        case xl::kPairs: return Take(2 * width);
        case xl::kBoxes: return Take(4 * width);
        default: return false;
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

}  // namespace

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

}  // namespace ostrel::pages

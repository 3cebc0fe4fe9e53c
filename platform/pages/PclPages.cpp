#include "PageCount.h"
#include "PageScan.h"

#include <algorithm>

namespace ostrel::pages {
namespace {

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
        const bool carriesData = (parameter == 'W' && (first == '*' || first == '(' || first == ')' || first == '&')) ||
                                 (first == '*' && group == 'b' && parameter == 'V') ||
                                 (first == '&' && group == 'p' && parameter == 'X');
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

}  // namespace

std::uint32_t CountPclPages(std::string_view document, const CountLimits& limits)
{
    return PclScanner(WithoutPjl(document), limits).Count();
}

}  // namespace ostrel::pages

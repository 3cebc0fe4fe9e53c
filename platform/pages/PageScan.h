#pragma once

#include "PageCount.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// What the format scanners share: the prologue drivers put before a page
// description, saturated numbers, the cap on counts.
namespace ostrel::pages {

constexpr char kEsc = '\x1b';
constexpr std::string_view kUel = "\x1b%-12345X";
// Copies a document may ask of a page itself: CUPS' own limit (MaxCopies).
constexpr std::uint64_t kMaxCopies = 9999;

inline bool StartsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

inline std::uint32_t Capped(std::uint64_t pages, const CountLimits& limits)
{
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, limits.maxPages));
}

// A decimal number at the start of `text`, saturated; nothing without digits.
std::optional<std::uint64_t> LeadingNumber(std::string_view text);

// The document after the universal exit and PJL lines that drivers put
// before the page description.
std::string_view WithoutPjl(std::string_view document);

// Whether `data` opens with a PCL XL stream header.
bool IsPclXlHeader(std::string_view data);

}  // namespace ostrel::pages

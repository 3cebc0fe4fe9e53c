#pragma once

#include "Clock.h"

#include <string>

namespace ostrel {

// The keys that name the period log files of one instant, all from one
// reading of the local date: "20061207", "49", "12", "4", "2", "2006".
struct PeriodKeys {
    std::string day;       // year, month and day: eight digits
    std::string week;      // 1 to 53, no leading zero
    std::string month;     // two digits
    std::string quarter;   // 1 to 4
    std::string semester;  // 1 or 2
    std::string year;
};

PeriodKeys PeriodKeysAt(Clock::TimePoint now);

// The week of the year of `now`: whole seconds since 1 January 00:00 local
// time (daylight saving as the platform decides for each of the two
// instants), in whole days, in whole weeks, plus one. Weeks do not follow
// weekdays: 1 to 7 January are week 1, 31 December is week 53. The monitor
// and the console both number weeks here, so that they always agree.
int WeekNumber(Clock::TimePoint now);

// "05" for 5, "12" for 12.
std::string TwoDigits(int value);

// The local date of `now` as a day's report is captioned: "03/01/2024".
std::string DayCaption(Clock::TimePoint now);

}  // namespace ostrel

// Dates as a workbook counts them: civil dates and days, serial numbers and the moments they
// stand for in the 1900 and 1904 date systems, and ISO 8601 text read as a serial.
#pragma once

#include "sheets/date_system.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace brisquel::sheets {

struct CivilDate {
    int year = 0, month = 0, day = 0;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar; a day past the end of
// its month counts on into the next ("1900-02-29" is 1900-03-01).
std::int64_t daysFromCivil(int year, int month, int day);
// The date `days` after 1970-01-01.
CivilDate civilFromDays(std::int64_t days);

// The serial number of a date. In the 1900 system the days before 1900-03-01 count one less,
// as if 1900-02-29 had been: 1900-02-28 is 59, 1900-03-01 is 61.
double serialOfDate(int year, int month, int day, DateSystem dates = DateSystem::From1900);

// The serial number of an ISO 8601 date, date and time or time of day ("2023-05-01",
// "2023-05-01T08:30:00.25", "2023-05-01T08:30+08:00", "08:30:00"; a time with an offset is
// taken to UTC), or nothing when the text is not one or names a day its month lacks.
std::optional<double> isoDateSerial(std::string_view text, DateSystem dates);

// The last serial that is still a date: 9999-12-31 in the 1900 system.
inline constexpr double lastSerial1900 = 2958465;
// 1904-01-01 is serial 1462 of the 1900 system.
inline constexpr double lastSerial1904 = lastSerial1900 - 1462;

// The parts of the date and time a serial stands for, rounded to units of a second of
// 10^-subsecondDigits.
struct Moment {
    int year = 0, month = 0, day = 0, weekday = 0; // weekday 0 is Sunday
    std::int64_t totalUnits = 0, unitsPerSecond = 1;
    int hour = 0, minute = 0, second = 0, subsecond = 0;
};

// False when `serial` is no date: negative, NaN, or past 9999-12-31 once rounded. The 1900
// system shows serial 0 as 1900-01-00 and serial 60 as 1900-02-29. Inline, as every date
// cell shown calls it.
inline bool momentOf(double serial, DateSystem dates, int subsecondDigits, Moment& moment) {
    const double last = dates == DateSystem::From1900 ? lastSerial1900 : lastSerial1904;
    if (!(serial >= 0) || serial >= last + 1)
        return false;
    for (int i = 0; i < subsecondDigits; ++i)
        moment.unitsPerSecond *= 10;
    const std::int64_t unitsPerDay = 86400 * moment.unitsPerSecond;
    moment.totalUnits = static_cast<std::int64_t>(serial * static_cast<double>(unitsPerDay) + 0.5);
    // Whole seconds, the common case, divide by constants: multiplications, not divisions.
    const bool whole = moment.unitsPerSecond == 1;
    const std::int64_t day = whole ? moment.totalUnits / 86400 : moment.totalUnits / unitsPerDay;
    if (static_cast<double>(day) > last)
        return false;
    const std::int64_t units = moment.totalUnits - day * unitsPerDay;
    const auto seconds = static_cast<int>(whole ? units : units / moment.unitsPerSecond);
    moment.subsecond = static_cast<int>(units - seconds * moment.unitsPerSecond);
    moment.hour = seconds / 3600;
    moment.minute = seconds / 60 % 60;
    moment.second = seconds % 60;
    const auto setDate = [&](const CivilDate& date) {
        moment.year = date.year, moment.month = date.month, moment.day = date.day;
    };
    if (dates == DateSystem::From1904) {
        setDate(civilFromDays(day - 24107));
        moment.weekday = static_cast<int>((day + 5) % 7);
        return true;
    }
    moment.weekday = static_cast<int>((day + 6) % 7);
    if (day == 0)
        setDate({1900, 1, 0});
    else if (day == 60)
        setDate({1900, 2, 29});
    else
        setDate(civilFromDays(day - (day < 60 ? 25568 : 25569)));
    return true;
}

} // namespace brisquel::sheets

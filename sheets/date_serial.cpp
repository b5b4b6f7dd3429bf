// The date arithmetic every reader shares: serials of the 1900 and 1904 systems to dates and
// times and back, over the civil calendar's days.
#include "sheets/date_serial.h"

#include <charconv>
#include <string_view>
#include <system_error>

namespace brisquel::sheets {

// Howard Hinnant's days_from_civil, in eras of 400 years that start on March 1.
std::int64_t daysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    date.month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    date.year = static_cast<int>(yearOfEra + era * 400 + (date.month <= 2 ? 1 : 0));
    return date;
}

double serialOfDate(int year, int month, int day, DateSystem dates) {
    const std::int64_t days = daysFromCivil(year, month, day);
    if (dates == DateSystem::From1904)
        return static_cast<double>(days + 24107);
    const std::int64_t serial = days + 25569;
    return static_cast<double>(serial < 61 ? serial - 1 : serial);
}

std::optional<double> isoDateSerial(std::string_view text, DateSystem dates) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    double second = 0;
    auto number = [&](std::size_t at, std::size_t length, int& value) {
        if (at + length > text.size())
            return false;
        const auto [end, error] = std::from_chars(text.data() + at, text.data() + at + length, value);
        return error == std::errc() && end == text.data() + at + length;
    };
    if (!number(0, 4, year) || text.size() < 10 || text[4] != '-' || !number(5, 2, month) || text[7] != '-' ||
        !number(8, 2, day) || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    if (text.size() > 10) {
        if (text[10] != 'T' || !number(11, 2, hour) || text.size() < 16 || text[13] != ':' ||
            !number(14, 2, minute))
            return std::nullopt;
        std::string_view rest = text.substr(16);
        if (rest.ends_with('Z'))
            rest.remove_suffix(1);
        if (rest.starts_with(':')) {
            const auto [end, error] = std::from_chars(rest.data() + 1, rest.data() + rest.size(), second);
            if (error != std::errc() || end != rest.data() + rest.size())
                return std::nullopt;
        } else if (!rest.empty()) {
            return std::nullopt;
        }
    }
    return serialOfDate(year, month, day, dates) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
}

} // namespace brisquel::sheets

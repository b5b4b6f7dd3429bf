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

namespace {

// `length` decimal digits taken off the front of `text`.
bool takeDigits(std::string_view& text, std::size_t length, int& value) {
    if (text.size() < length)
        return false;
    value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(length);
    return true;
}

bool take(std::string_view& text, char c) {
    if (!text.starts_with(c))
        return false;
    text.remove_prefix(1);
    return true;
}

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.fff", then "Z" or an offset from UTC, taken off the front of
// `text` as a fraction of a day, in UTC. 24:00:00 is the end of the day.
std::optional<double> takeTime(std::string_view& text) {
    int hour = 0, minute = 0, second = 0;
    double fraction = 0;
    if (!takeDigits(text, 2, hour) || !take(text, ':') || !takeDigits(text, 2, minute) || minute > 59)
        return std::nullopt;
    if (take(text, ':')) {
        if (!takeDigits(text, 2, second) || second > 59)
            return std::nullopt;
        if (text.starts_with('.')) {
            std::size_t length = 1;
            while (length < text.size() && text[length] >= '0' && text[length] <= '9')
                ++length;
            // Digits alone, checked above: from_chars would also take an exponent.
            if (length == 1 || std::from_chars(text.data(), text.data() + length, fraction).ec != std::errc())
                return std::nullopt;
            text.remove_prefix(length);
        }
    }
    if (hour > 24 || (hour == 24 && (minute > 0 || second > 0 || fraction > 0)))
        return std::nullopt;
    double seconds = hour * 3600.0 + minute * 60.0 + second + fraction;
    if (!take(text, 'Z') && (text.starts_with('+') || text.starts_with('-'))) {
        const int sign = text[0] == '+' ? 1 : -1;
        text.remove_prefix(1);
        int offsetHours = 0, offsetMinutes = 0;
        if (!takeDigits(text, 2, offsetHours) || !take(text, ':') || !takeDigits(text, 2, offsetMinutes) ||
            offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        seconds -= sign * (offsetHours * 3600.0 + offsetMinutes * 60.0);
    }
    return seconds / 86400.0;
}

} // namespace

std::optional<double> isoDateSerial(std::string_view text, DateSystem dates) {
    // A time of day alone, as a time is written without its date: a fraction of a day.
    if (text.size() > 2 && text[2] == ':') {
        const auto time = takeTime(text);
        return text.empty() ? time : std::nullopt;
    }
    int year = 0, month = 0, day = 0;
    if (!takeDigits(text, 4, year) || !take(text, '-') || !takeDigits(text, 2, month) || !take(text, '-') ||
        !takeDigits(text, 2, day) || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    // The 1900 system keeps a 1900-02-29 the calendar never had: serial 60.
    const bool leapDay1900 = dates == DateSystem::From1900 && year == 1900 && month == 2 && day == 29;
    if (day > daysInMonth(year, month) && !leapDay1900)
        return std::nullopt;
    const double date = leapDay1900 ? 60 : serialOfDate(year, month, day, dates);
    if (text.empty())
        return date;
    const auto time = take(text, 'T') ? takeTime(text) : std::nullopt;
    if (!time || !text.empty())
        return std::nullopt;
    return date + *time;
}

} // namespace brisquel::sheets

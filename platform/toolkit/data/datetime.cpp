#include "platform/toolkit/data/datetime.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace tk {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;

// Days from 1899-12-30 for a proleptic Gregorian date (H. Hinnant's days_from_civil, shifted).
int64_t daysFromCivil(int64_t y, int m, int d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    // days_from_civil counts from 1970-01-01, which is day 25569 of the toolkit's calendar.
    return era * 146097 + doe - 719468 + 25569;
}

void civilFromDays(int64_t z, int &year, int &month, int &day)
{
    z += 719468 - 25569; // days since 0000-03-01
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = yoe + era * 400;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(y + (month <= 2));
}

// Splits a date-time into whole days and milliseconds of the day, rounding to the millisecond so
// that 0.9999999999 of a day reads as the next midnight rather than 23:59:59.999.
void splitDateTime(TDateTime value, int64_t &days, int64_t &msecs)
{
    if (!std::isfinite(value))
        throw Exception("Invalid date-time value");
    double intPart = std::trunc(value);
    const double frac = std::fabs(value - intPart);
    msecs = std::llround(frac * double(kMSecsPerDay));
    if (msecs >= kMSecsPerDay) {
        msecs -= kMSecsPerDay;
        intPart += 1;
    }
    days = int64_t(intPart);
}

} // namespace

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        throw Exception("Invalid month " + std::to_string(month));
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

TDateTime EncodeDate(int year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        throw Exception("Invalid argument to date encode: " + std::to_string(year) + "-"
                        + std::to_string(month) + "-" + std::to_string(day));
    return double(daysFromCivil(year, month, day));
}

TDateTime EncodeTime(int hour, int minute, int second, int msec)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0
        || msec > 999)
        throw Exception("Invalid argument to time encode: " + std::to_string(hour) + ":"
                        + std::to_string(minute) + ":" + std::to_string(second) + "." + std::to_string(msec));
    const int64_t ms = ((int64_t(hour) * 60 + minute) * 60 + second) * 1000 + msec;
    return double(ms) / double(kMSecsPerDay);
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec)
{
    const TDateTime date = EncodeDate(year, month, day);
    const TDateTime time = EncodeTime(hour, minute, second, msec);
    // Before the epoch the fraction still counts forward from midnight of that day.
    return date >= 0 ? date + time : date - time;
}

void DecodeDate(TDateTime value, int &year, int &month, int &day)
{
    int64_t days = 0, msecs = 0;
    splitDateTime(value, days, msecs);
    civilFromDays(days, year, month, day);
}

void DecodeTime(TDateTime value, int &hour, int &minute, int &second, int &msec)
{
    int64_t days = 0, msecs = 0;
    splitDateTime(value, days, msecs);
    msec = int(msecs % 1000);
    msecs /= 1000;
    second = int(msecs % 60);
    msecs /= 60;
    minute = int(msecs % 60);
    hour = int(msecs / 60);
}

TDateTime DateOf(TDateTime value)
{
    int64_t days = 0, msecs = 0;
    splitDateTime(value, days, msecs);
    return double(days);
}

int DayOfWeek(TDateTime value)
{
    int64_t days = 0, msecs = 0;
    splitDateTime(value, days, msecs);
    // Day 0 (30/12/1899) was a Saturday.
    int64_t w = (days + 6) % 7; // 0 = Sunday
    if (w < 0)
        w += 7;
    return int(w) + 1;
}

int MonthOf(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return m;
}

int YearOf(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return y;
}

TDateTime StartOfTheMonth(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return EncodeDate(y, m, 1);
}

TDateTime EndOfTheMonth(TDateTime value)
{
    int y, m, d;
    DecodeDate(value, y, m, d);
    return EncodeDate(y, m, DaysInMonth(y, m));
}

std::string DateTimeToIso(TDateTime value, bool isoT)
{
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    char buf[40];
    if (h == 0 && mi == 0 && s == 0 && ms == 0)
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, mo, d);
    else
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d%c%02d:%02d:%02d", y, mo, d, isoT ? 'T' : ' ', h, mi, s);
    return buf;
}

namespace {

bool readDigits(std::string_view text, size_t &pos, size_t count, int &out)
{
    if (pos + count > text.size())
        return false;
    int v = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    pos += count;
    out = v;
    return true;
}

} // namespace

bool TryIsoToDateTime(std::string_view text, TDateTime &value)
{
    size_t pos = 0;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!readDigits(text, pos, 4, y) || pos >= text.size() || text[pos++] != '-'
        || !readDigits(text, pos, 2, mo) || pos >= text.size() || text[pos++] != '-'
        || !readDigits(text, pos, 2, d))
        return false;
    if (pos < text.size()) {
        if (text[pos] != ' ' && text[pos] != 'T')
            return false;
        ++pos;
        if (!readDigits(text, pos, 2, h) || pos >= text.size() || text[pos++] != ':'
            || !readDigits(text, pos, 2, mi))
            return false;
        if (pos < text.size()) {
            if (text[pos++] != ':' || !readDigits(text, pos, 2, s))
                return false;
            if (pos < text.size()) {
                if (text[pos++] != '.')
                    return false;
                // Fractional seconds: keep milliseconds, ignore finer digits.
                size_t digits = 0;
                int scale = 100;
                while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
                    if (digits < 3) {
                        ms += (text[pos] - '0') * scale;
                        scale /= 10;
                    }
                    ++digits;
                    ++pos;
                }
                if (digits == 0 || pos != text.size())
                    return false;
            }
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || y < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59)
        return false;
    value = EncodeDateTime(y, mo, d, h, mi, s, ms);
    return true;
}

TDateTime IsoToDateTime(std::string_view text)
{
    TDateTime value = 0;
    if (!TryIsoToDateTime(text, value))
        throw Exception("'" + std::string(text) + "' is not a valid ISO date");
    return value;
}

} // namespace tk

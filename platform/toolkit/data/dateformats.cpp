// The date and time format language and the date parser of the format settings: FormatDateTime's
// patterns ("dd/mm/yyyy", "ddddd", "mmmm"), DateToStr and friends, and StrToDate in the settings' order.

#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include "platform/toolkit/data/datetime.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace tk {

namespace {

std::string pad2(int v)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

bool startsWithNoCase(const std::string &s, size_t pos, const char *word)
{
    const size_t n = std::strlen(word);
    if (pos + n > s.size())
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[pos + i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != word[i])
            return false;
    }
    return true;
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

void formatDateTimeTo(std::string &out, const std::string &format, TDateTime value, const TFormatSettings &fs,
                      int depth)
{
    if (depth > 2)
        return;
    int year, month, day, hour, minute, second, msec;
    DecodeDate(value, year, month, day);
    DecodeTime(value, hour, minute, second, msec);
    const int dow = DayOfWeek(value) - 1;

    // 12-hour clock when an am/pm marker appears anywhere in the format.
    bool twelveHour = false;
    for (size_t i = 0; i < format.size(); ++i)
        if (startsWithNoCase(format, i, "am/pm") || startsWithNoCase(format, i, "a/p")
            || startsWithNoCase(format, i, "ampm"))
            twelveHour = true;

    bool lastWasHour = false;
    size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        const char lc = lower(c);
        if (c == '\'' || c == '"') {
            const size_t close = format.find(c, i + 1);
            const size_t stop = close == std::string::npos ? format.size() : close;
            out.append(format, i + 1, stop - i - 1);
            i = stop == format.size() ? stop : stop + 1;
            continue;
        }
        size_t run = 1;
        while (i + run < format.size() && lower(format[i + run]) == lc)
            ++run;
        switch (lc) {
        case 'c': {
            // The date unless the value is a bare time; the time unless it is midnight.
            const bool hasTime = hour || minute || second || msec;
            const bool hasDate = DateOf(value) != 0 || !hasTime;
            if (hasDate)
                formatDateTimeTo(out, fs.shortDateFormat, value, fs, depth + 1);
            if (hasTime) {
                if (hasDate)
                    out.push_back(' ');
                formatDateTimeTo(out, fs.longTimeFormat, value, fs, depth + 1);
            }
            i += 1;
            lastWasHour = false;
            continue;
        }
        case 'd':
            if (run == 1)
                out += std::to_string(day);
            else if (run == 2)
                out += pad2(day);
            else if (run == 3)
                out += fs.shortDayNames[size_t(dow)];
            else if (run == 4)
                out += fs.longDayNames[size_t(dow)];
            else if (run == 5)
                formatDateTimeTo(out, fs.shortDateFormat, value, fs, depth + 1);
            else
                formatDateTimeTo(out, fs.longDateFormat, value, fs, depth + 1);
            i += std::min<size_t>(run, 6);
            lastWasHour = false;
            continue;
        case 'm':
            if (lastWasHour && run <= 2) {
                out += run == 1 ? std::to_string(minute) : pad2(minute);
            } else if (run == 1) {
                out += std::to_string(month);
            } else if (run == 2) {
                out += pad2(month);
            } else if (run == 3) {
                out += fs.shortMonthNames[size_t(month - 1)];
            } else {
                out += fs.longMonthNames[size_t(month - 1)];
            }
            i += std::min<size_t>(run, 4);
            lastWasHour = false;
            continue;
        case 'y':
            if (run <= 2)
                out += pad2(year % 100);
            else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%04d", year);
                out += buf;
            }
            i += run;
            lastWasHour = false;
            continue;
        case 'h': {
            int h = hour;
            if (twelveHour) {
                h = hour % 12;
                if (h == 0)
                    h = 12;
            }
            out += run == 1 ? std::to_string(h) : pad2(h);
            i += std::min<size_t>(run, 2);
            lastWasHour = true;
            continue;
        }
        case 'n':
            out += run == 1 ? std::to_string(minute) : pad2(minute);
            i += std::min<size_t>(run, 2);
            lastWasHour = false;
            continue;
        case 's':
            out += run == 1 ? std::to_string(second) : pad2(second);
            i += std::min<size_t>(run, 2);
            lastWasHour = false;
            continue;
        case 'z':
            if (run >= 3) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "%03d", msec);
                out += buf;
                i += 3;
            } else {
                out += std::to_string(msec);
                i += 1;
            }
            lastWasHour = false;
            continue;
        case 't':
            formatDateTimeTo(out, run == 1 ? fs.shortTimeFormat : fs.longTimeFormat, value, fs, depth + 1);
            i += std::min<size_t>(run, 2);
            lastWasHour = false;
            continue;
        case 'a':
            if (startsWithNoCase(format, i, "am/pm")) {
                if (c == 'A')
                    out += hour < 12 ? "AM" : "PM";
                else
                    out += hour < 12 ? "am" : "pm";
                i += 5;
                continue;
            }
            if (startsWithNoCase(format, i, "a/p")) {
                out.push_back(c == 'A' ? (hour < 12 ? 'A' : 'P') : (hour < 12 ? 'a' : 'p'));
                i += 3;
                continue;
            }
            if (startsWithNoCase(format, i, "ampm")) {
                out += hour < 12 ? "AM" : "PM";
                i += 4;
                continue;
            }
            out.push_back(c);
            ++i;
            continue;
        case '/':
            out.push_back(fs.dateSeparator);
            ++i;
            continue;
        case ':':
            out.push_back(fs.timeSeparator);
            ++i;
            continue;
        default:
            out.push_back(c);
            ++i;
            continue;
        }
    }
}

// Order of day, month and year in a short date format: "dd/mm/yyyy" gives d, m, y.
std::string dateOrder(const std::string &format)
{
    std::string order;
    for (char c : format) {
        const char lc = lower(c);
        if ((lc == 'd' || lc == 'm' || lc == 'y') && order.find(lc) == std::string::npos)
            order.push_back(lc);
    }
    return order.size() == 3 ? order : std::string("dmy");
}

bool parseUInt(const std::string &s, int &out)
{
    if (s.empty() || s.size() > 4)
        return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

bool parseTime(const std::string &text, const TFormatSettings &fs, TDateTime &time)
{
    std::string t = Trim(text);
    bool pm = false, am = false;
    if (t.size() >= 2) {
        const std::string tail = t.substr(t.size() - 2);
        if (lower(tail[0]) == 'p' && lower(tail[1]) == 'm')
            pm = true;
        else if (lower(tail[0]) == 'a' && lower(tail[1]) == 'm')
            am = true;
        if (am || pm)
            t = Trim(t.substr(0, t.size() - 2));
    }
    std::vector<std::string> parts(1);
    for (char c : t) {
        if (c == fs.timeSeparator || c == ':')
            parts.emplace_back();
        else
            parts.back().push_back(c);
    }
    if (parts.size() < 2 || parts.size() > 3)
        return false;
    int h = 0, m = 0, s = 0, ms = 0;
    if (!parseUInt(parts[0], h) || parts[0].size() > 2 || !parseUInt(parts[1], m) || parts[1].size() != 2)
        return false;
    if (parts.size() == 3) {
        std::string sec = parts[2];
        const size_t dot = sec.find_first_of(".,");
        if (dot != std::string::npos) {
            std::string frac = sec.substr(dot + 1);
            sec = sec.substr(0, dot);
            if (frac.empty() || frac.size() > 3 || !parseUInt(frac, ms))
                return false;
            while (frac.size() < 3) {
                frac.push_back('0');
                ms *= 10;
            }
        }
        if (!parseUInt(sec, s) || sec.size() != 2)
            return false;
    }
    if (am || pm) {
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + (pm ? 12 : 0);
    }
    if (h > 23 || m > 59 || s > 59)
        return false;
    time = EncodeTime(h, m, s, ms);
    return true;
}

bool parseDate(const std::string &text, const TFormatSettings &fs, TDateTime &date)
{
    std::vector<std::string> parts(1);
    const char sep = fs.dateSeparator;
    char used = 0;
    for (char c : text) {
        if (c == sep || c == '/' || c == '-' || c == '.') {
            if (used && c != used)
                return false;
            used = c;
            parts.emplace_back();
        } else {
            parts.back().push_back(c);
        }
    }
    if (parts.size() != 3)
        return false;
    const std::string order = dateOrder(fs.shortDateFormat);
    int d = 0, m = 0, y = 0;
    for (size_t i = 0; i < 3; ++i) {
        int v = 0;
        if (!parseUInt(parts[i], v))
            return false;
        if (order[i] == 'd') {
            if (parts[i].size() > 2)
                return false;
            d = v;
        } else if (order[i] == 'm') {
            if (parts[i].size() > 2)
                return false;
            m = v;
        } else {
            // Two digits name a year of this century: "24" is 2024.
            if (parts[i].size() == 2)
                v += 2000;
            else if (parts[i].size() != 4)
                return false;
            y = v;
        }
    }
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
        return false;
    date = EncodeDate(y, m, d);
    return true;
}

bool tryStrToDateTime(const std::string &text, TDateTime &value, const TFormatSettings &fs, bool allowTime)
{
    const std::string t = Trim(text);
    if (t.empty())
        return false;
    const size_t space = t.find(' ');
    TDateTime date = 0;
    if (!parseDate(space == std::string::npos ? t : t.substr(0, space), fs, date))
        return false;
    if (space == std::string::npos) {
        value = date;
        return true;
    }
    if (!allowTime)
        return false;
    TDateTime time = 0;
    if (!parseTime(t.substr(space + 1), fs, time))
        return false;
    value = date >= 0 ? date + time : date - time;
    return true;
}

} // namespace

std::string FormatDateTime(const std::string &format, TDateTime value, const TFormatSettings &fs)
{
    std::string out;
    formatDateTimeTo(out, format.empty() ? std::string("c") : format, value, fs, 0);
    return out;
}

std::string DateToStr(TDateTime value, const TFormatSettings &fs)
{
    return FormatDateTime(fs.shortDateFormat, value, fs);
}

std::string TimeToStr(TDateTime value, const TFormatSettings &fs)
{
    return FormatDateTime(fs.longTimeFormat, value, fs);
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings &fs)
{
    return FormatDateTime("c", value, fs);
}

bool TryStrToDate(const std::string &text, TDateTime &value, const TFormatSettings &fs)
{
    // A time after the date is accepted and kept, as the date-time fields need.
    return tryStrToDateTime(text, value, fs, true);
}

TDateTime StrToDate(const std::string &text, const TFormatSettings &fs)
{
    TDateTime value = 0;
    if (!tryStrToDateTime(text, value, fs, true))
        throw Exception("'" + text + "' is not a valid date");
    return value;
}

TDateTime StrToDateTime(const std::string &text, const TFormatSettings &fs)
{
    TDateTime value = 0;
    if (!tryStrToDateTime(text, value, fs, true))
        throw Exception("'" + text + "' is not a valid date and time");
    return value;
}

} // namespace tk

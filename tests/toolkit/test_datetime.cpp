// Calendar arithmetic, date texts in the short date format and the date-format language.

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include <gtest/gtest.h>

namespace {

using namespace tk;

TEST(Calendar, KnownSerials)
{
    const std::tuple<int, int, int, double> cases[] = {
        {1899, 12, 30, 0}, {1899, 12, 31, 1}, {1900, 1, 1, 2}, {1899, 12, 29, -1},
        {2000, 1, 1, 36526}, {2024, 1, 1, 45292}, {2024, 3, 15, 45366}, {1600, 3, 1, -109511},
    };
    for (const auto &[y, m, d, serial] : cases) {
        EXPECT_EQ(EncodeDate(y, m, d), serial) << y << "-" << m << "-" << d;
        int yy, mm, dd;
        DecodeDate(serial, yy, mm, dd);
        EXPECT_EQ(std::make_tuple(yy, mm, dd), std::make_tuple(y, m, d)) << serial;
    }
}

TEST(Calendar, LeapYearsAndMonthLengths)
{
    for (int y : {1600, 2000, 2024, 1996})
        EXPECT_TRUE(IsLeapYear(y)) << y;
    for (int y : {1900, 2100, 2023, 2019})
        EXPECT_FALSE(IsLeapYear(y)) << y;
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2023, 2), 28);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_EQ(DaysInMonth(2024, 4), 30);
    EXPECT_EQ(DaysInMonth(2024, 12), 31);
    EXPECT_THROW(EncodeDate(2023, 2, 29), Exception);
    EXPECT_THROW(EncodeDate(2024, 13, 1), Exception);
    EXPECT_THROW(EncodeDate(2024, 4, 31), Exception);
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
}

TEST(Calendar, EveryDayRoundTripsAndWeekdaysAdvance)
{
    const TDateTime start = EncodeDate(1899, 1, 1);
    int expectedWeekday = DayOfWeek(start);
    for (TDateTime day = start; day < EncodeDate(2101, 1, 1); day += 1) {
        int y, m, d;
        DecodeDate(day, y, m, d);
        ASSERT_EQ(EncodeDate(y, m, d), day);
        ASSERT_EQ(DayOfWeek(day), expectedWeekday);
        expectedWeekday = expectedWeekday % 7 + 1;
    }
}

TEST(Calendar, WeekdayStartsOnSunday)
{
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 17)), 1); // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 15)), 6); // Friday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDateTime(2024, 3, 17, 23, 59, 59)), 1);
}

TEST(Calendar, MonthBoundaries)
{
    const std::tuple<int, int, int> ends[] = {{2024, 2, 29}, {2023, 2, 28}, {2024, 12, 31}, {2024, 4, 30}};
    for (const auto &[y, m, last] : ends) {
        const TDateTime mid = EncodeDateTime(y, m, 10, 15, 30, 0);
        EXPECT_EQ(StartOfTheMonth(mid), EncodeDate(y, m, 1));
        EXPECT_EQ(EndOfTheMonth(mid), EncodeDate(y, m, last));
        EXPECT_EQ(MonthOf(mid), m);
        EXPECT_EQ(YearOf(mid), y);
    }
}

TEST(Calendar, TimeOfDayRoundTrips)
{
    const TDateTime v = EncodeDateTime(2024, 2, 29, 13, 45, 30, 250);
    int y, mo, d, h, mi, s, ms;
    DecodeDate(v, y, mo, d);
    DecodeTime(v, h, mi, s, ms);
    EXPECT_EQ(std::make_tuple(y, mo, d, h, mi, s, ms), std::make_tuple(2024, 2, 29, 13, 45, 30, 250));
    EXPECT_EQ(DateOf(v), EncodeDate(2024, 2, 29));
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0), 0.5);
    EXPECT_THROW(EncodeTime(24, 0, 0), Exception);
    EXPECT_THROW(EncodeTime(0, 60, 0), Exception);

    // A value a hair below midnight reads as that midnight, not 23:59:59.999 of the day before.
    const TDateTime almost = EncodeDate(2024, 1, 1) - 1e-12;
    DecodeDate(almost, y, mo, d);
    DecodeTime(almost, h, mi, s, ms);
    EXPECT_EQ(std::make_tuple(y, mo, d, h, mi, s, ms), std::make_tuple(2024, 1, 1, 0, 0, 0, 0));

    // Before the epoch the fraction still counts forward from that day's midnight.
    const TDateTime before = EncodeDateTime(1899, 12, 29, 6, 0, 0);
    EXPECT_DOUBLE_EQ(before, -1.25);
    DecodeTime(before, h, mi, s, ms);
    EXPECT_EQ(h, 6);
}

TEST(DateText, ShortDateFormatBothWays)
{
    const TFormatSettings br = TFormatSettings::brazilian();
    const TDateTime d = EncodeDate(2024, 3, 5);
    EXPECT_EQ(DateToStr(d, br), "05/03/2024");
    EXPECT_EQ(DateTimeToStr(d, br), "05/03/2024");
    EXPECT_EQ(DateTimeToStr(EncodeDateTime(2024, 3, 5, 13, 45, 30), br), "05/03/2024 13:45:30");
    EXPECT_EQ(DateTimeToStr(0.5, br), "12:00:00");
    EXPECT_EQ(TimeToStr(EncodeTime(7, 5, 9), br), "07:05:09");

    const std::pair<const char *, TDateTime> good[] = {
        {"05/03/2024", d}, {"5/3/2024", d}, {" 05/03/2024 ", d}, {"05/03/24", d},
        {"29/02/2024", EncodeDate(2024, 2, 29)},
        {"05/03/2024 13:45", EncodeDateTime(2024, 3, 5, 13, 45, 0)},
        {"05/03/2024 13:45:30", EncodeDateTime(2024, 3, 5, 13, 45, 30)},
    };
    for (const auto &[text, expected] : good)
        EXPECT_DOUBLE_EQ(StrToDate(text, br), expected) << text;
    for (const char *bad : {"", "abc", "31/02/2024", "29/02/2023", "00/01/2024", "05/13/2024", "05-03/2024",
                            "05/03", "05/03/2024 25:00", "5/3/202"}) {
        TDateTime v = 0;
        EXPECT_FALSE(TryStrToDate(bad, v, br)) << bad;
    }
    try {
        StrToDate("31/02/2024", br);
        FAIL() << "no error";
    } catch (const Exception &e) {
        EXPECT_STREQ(e.what(), "'31/02/2024' is not a valid date");
    }
}

TEST(DateText, EnglishSettings)
{
    const TFormatSettings en = TFormatSettings::english();
    const TDateTime d = EncodeDate(2024, 3, 5);
    EXPECT_EQ(DateToStr(d, en), "03/05/2024");
    EXPECT_DOUBLE_EQ(StrToDate("03/05/2024", en), d);
    EXPECT_EQ(FormatDateTime("dddd", d, en), "Tuesday");
}

TEST(DateFormat, Tokens)
{
    const TFormatSettings br = TFormatSettings::brazilian();
    const TDateTime v = EncodeDateTime(2024, 3, 5, 13, 45, 30, 7); // a Tuesday
    const std::pair<const char *, const char *> cases[] = {
        {"ddddd", "05/03/2024"},
        {"dd", "05"},
        {"d", "5"},
        {"ddd", "ter"},
        {"dddd", "terça-feira"},
        {"mmmm", "março"},
        {"mmm", "mar"},
        {"m/yy", "3/24"},
        {"yyyy-mm-dd hh:nn:ss", "2024-03-05 13:45:30"},
        {"h:mm", "13:45"},
        {"hh:nn am/pm", "01:45 pm"},
        {"hh:nn AM/PM", "01:45 PM"},
        {"s.zzz", "30.007"},
        {"dd 'de' mmmm", "05 de março"},
        {"c", "05/03/2024 13:45:30"},
        {"t", "13:45"},
        {"tt", "13:45:30"},
    };
    for (const auto &[format, expected] : cases)
        EXPECT_EQ(FormatDateTime(format, v, br), expected) << format;
    EXPECT_EQ(FormatDateTime("dddd", EncodeDate(2024, 3, 9), br), "sábado");
    EXPECT_EQ(Utf8Left(FormatDateTime("dddd", EncodeDate(2024, 3, 9), br), 3), "sáb");
}

TEST(IsoText, RoundTrips)
{
    const TDateTime d = EncodeDate(2024, 3, 5);
    const TDateTime dt = EncodeDateTime(2024, 3, 5, 13, 45, 30);
    EXPECT_EQ(DateTimeToIso(d), "2024-03-05");
    EXPECT_EQ(DateTimeToIso(dt), "2024-03-05 13:45:30");
    EXPECT_EQ(DateTimeToIso(dt, true), "2024-03-05T13:45:30");
    EXPECT_DOUBLE_EQ(IsoToDateTime("2024-03-05"), d);
    EXPECT_DOUBLE_EQ(IsoToDateTime("2024-03-05 13:45:30"), dt);
    EXPECT_DOUBLE_EQ(IsoToDateTime("2024-03-05T13:45"), EncodeDateTime(2024, 3, 5, 13, 45, 0));
    EXPECT_DOUBLE_EQ(IsoToDateTime("2024-03-05 13:45:30.250"), EncodeDateTime(2024, 3, 5, 13, 45, 30, 250));
    for (const char *bad : {"2024-13-01", "2024-02-30", "2024-3-5", "20240305", "2024-03-05 1:00", "2024-03-05x",
                            "2024-03-05 13:45:30.", ""}) {
        TDateTime v = 0;
        EXPECT_FALSE(TryIsoToDateTime(bad, v)) << bad;
        EXPECT_THROW(IsoToDateTime(bad), Exception) << bad;
    }
}

} // namespace

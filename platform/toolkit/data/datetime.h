#pragma once

// Dates as days since 30 December 1899 (the toolkit's TDateTime), and their calendar arithmetic.

#include "platform/toolkit/data/variant.h"

namespace tk {

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// EConvertError-like tk::Exception for an impossible date or time.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec = 0);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec = 0);
void DecodeDate(TDateTime value, int &year, int &month, int &day);
void DecodeTime(TDateTime value, int &hour, int &minute, int &second, int &msec);

TDateTime DateOf(TDateTime value);      // midnight of the same day
int DayOfWeek(TDateTime value);         // 1 = Sunday ... 7 = Saturday
int MonthOf(TDateTime value);
int YearOf(TDateTime value);
TDateTime StartOfTheMonth(TDateTime value);
TDateTime EndOfTheMonth(TDateTime value); // last day, midnight

// ISO text used by the database and the driver: "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" when the
// time is not midnight (with 'T' as separator when isoT is true).
std::string DateTimeToIso(TDateTime value, bool isoT = false);
// Accepts "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" and the 'T' form; tk::Exception otherwise.
TDateTime IsoToDateTime(std::string_view text);
bool TryIsoToDateTime(std::string_view text, TDateTime &value);

} // namespace tk

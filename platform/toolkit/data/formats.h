#pragma once

// Format settings and the float/date format languages of the toolkit.

#include "platform/toolkit/data/variant.h"

#include <array>
#include <string>

namespace tk {

struct TFormatSettings
{
    std::string shortDateFormat = "dd/mm/yyyy";
    char dateSeparator = '/';
    std::string longTimeFormat = "hh:nn:ss";
    char timeSeparator = ':';
    char decimalSeparator = ',';
    char thousandSeparator = '.';
    // Index 0 is Sunday. UTF-8 text.
    std::array<std::string, 7> longDayNames{"domingo", "segunda-feira", "terça-feira", "quarta-feira",
                                            "quinta-feira", "sexta-feira", "sábado"};
    std::array<std::string, 7> shortDayNames{"dom", "seg", "ter", "qua", "qui", "sex", "sáb"};
    std::array<std::string, 12> longMonthNames{"janeiro", "fevereiro", "março", "abril", "maio", "junho",
                                               "julho", "agosto", "setembro", "outubro", "novembro",
                                               "dezembro"};
    std::array<std::string, 12> shortMonthNames{"jan", "fev", "mar", "abr", "mai", "jun",
                                                "jul", "ago", "set", "out", "nov", "dez"};

    // Used by the 't' and 'dddddd' date-format tokens.
    std::string shortTimeFormat = "hh:nn";
    std::string longDateFormat = "dddd, d 'de' mmmm 'de' yyyy";

    static TFormatSettings brazilian();
    static TFormatSettings english(); // en_US: "mm/dd/yyyy", decimal point, thousands comma
};

// The process-wide settings that every display and filter text uses.
TFormatSettings &FormatSettings();
// "pt_BR" (default), "en_US"; tk::Exception for an unknown name.
void SetLocale(const std::string &name);

// Float-format language: '#', '0', ',' (thousands), '.' (decimals), literal text (quoted or plain),
// ';' sections (positive;negative;zero), 'E+' exponent. '%' is a literal here.
std::string FormatFloat(const std::string &format, double value, const TFormatSettings &fs = FormatSettings());
// Plain text of a double with up to 15 significant digits, locale decimal separator.
std::string FloatToStr(double value, const TFormatSettings &fs = FormatSettings());
// Accepts the locale decimal separator (and '.'); tk::Exception otherwise.
double StrToFloat(const std::string &text, const TFormatSettings &fs = FormatSettings());
bool TryStrToFloat(const std::string &text, double &value, const TFormatSettings &fs = FormatSettings());

// Date-format language: d dd ddd dddd ddddd (short date) dddddd, m mm mmm mmmm, yy yyyy,
// h hh n nn s ss z zzz, am/pm, '/' and ':' separators, quoted literals.
std::string FormatDateTime(const std::string &format, TDateTime value, const TFormatSettings &fs = FormatSettings());
std::string DateToStr(TDateTime value, const TFormatSettings &fs = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings &fs = FormatSettings());
// Short date, followed by the time when it is not midnight.
std::string DateTimeToStr(TDateTime value, const TFormatSettings &fs = FormatSettings());
// Parses the short date format (and an optional time); tk::Exception ("'x' is not a valid date").
TDateTime StrToDate(const std::string &text, const TFormatSettings &fs = FormatSettings());
TDateTime StrToDateTime(const std::string &text, const TFormatSettings &fs = FormatSettings());
bool TryStrToDate(const std::string &text, TDateTime &value, const TFormatSettings &fs = FormatSettings());

// Half away from zero on the decimal value: RoundDec(0.370368, 5) = 0.37037, RoundDec(2.675, 2) = 2.68.
double RoundDec(double value, int places);

// Edit-mask language (the subset the suite uses): '0' '9' digits, 'L' 'l' letters, 'A' 'a'
// alphanumerics, 'C' 'c' any, '!' '>' '<' modifiers, '\' literal next, ';' fields: mask;save;blank.
std::string FormatMaskText(const std::string &editMask, const std::string &value);

} // namespace tk

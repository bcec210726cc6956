#include "platform/toolkit/data/formats.h"
#include "platform/toolkit/data/text.h"

#include "platform/toolkit/data/datetime.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tk {

// --- Settings ------------------------------------------------------------------------------------

TFormatSettings TFormatSettings::brazilian()
{
    return TFormatSettings();
}

TFormatSettings TFormatSettings::english()
{
    TFormatSettings fs;
    fs.shortDateFormat = "mm/dd/yyyy";
    fs.longDateFormat = "dddd, mmmm d, yyyy";
    fs.dateSeparator = '/';
    fs.decimalSeparator = '.';
    fs.thousandSeparator = ',';
    fs.longDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    fs.shortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    fs.longMonthNames = {"January", "February", "March", "April", "May", "June", "July", "August",
                         "September", "October", "November", "December"};
    fs.shortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return fs;
}

TFormatSettings &FormatSettings()
{
    static TFormatSettings settings;
    return settings;
}

void SetLocale(const std::string &name)
{
    if (name == "pt_BR" || name == "pt-BR")
        FormatSettings() = TFormatSettings::brazilian();
    else if (name == "en_US" || name == "en-US")
        FormatSettings() = TFormatSettings::english();
    else
        throw Exception("Unknown locale '" + name + "'");
}

// --- Decimal digits of a double ----------------------------------------------------------------------
//
// Rounding works on the value's decimal form with 15 significant digits (the precision a double
// holds faithfully), so 2.675, stored as 2.67499999999999982..., rounds to 2.68 and figures kept
// with 5 decimals do not drift. FormatFloat and RoundDec share this code and therefore agree.

namespace {

struct Decimal
{
    std::string digits; // significant digits, no leading zero unless the value is zero
    int pointPos = 0;   // number of digits before the decimal point (may be <= 0 or > digits.size())
    bool zero = true;
};

// Assigned char by char: GCC 12 warns falsely (-Wrestrict) on assigning a literal here.
void setZero(Decimal &dec)
{
    dec.digits.clear();
    dec.digits.push_back('0');
    dec.pointPos = 1;
    dec.zero = true;
}

Decimal toDecimal(double absValue)
{
    Decimal dec;
    if (absValue == 0) {
        setZero(dec);
        return dec;
    }
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, absValue, std::chars_format::scientific, 14);
    const std::string_view text(buf, size_t(res.ptr - buf));
    const size_t e = text.find('e');
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.')
            dec.digits.push_back(text[i]);
    int exponent = 0;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+' ? 1 : 0), text.data() + text.size(), exponent);
    dec.pointPos = exponent + 1;
    while (dec.digits.size() > 1 && dec.digits.back() == '0')
        dec.digits.pop_back();
    dec.zero = false;
    return dec;
}

// Rounds half away from zero, keeping `keep` significant digits counted from the first digit.
void roundToDigits(Decimal &dec, int keep)
{
    if (dec.zero)
        return;
    if (keep < 0) {
        setZero(dec);
        return;
    }
    if (size_t(keep) >= dec.digits.size())
        return;
    const bool up = dec.digits[size_t(keep)] >= '5';
    dec.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && dec.digits[size_t(i)] == '9') {
            dec.digits[size_t(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++dec.digits[size_t(i)];
        } else {
            dec.digits.insert(dec.digits.begin(), '1');
            ++dec.pointPos;
        }
    }
    while (!dec.digits.empty() && dec.digits.back() == '0')
        dec.digits.pop_back();
    if (dec.digits.empty())
        setZero(dec);
}

// Rounds at `places` decimals (negative: tens, hundreds...).
void roundToPlaces(Decimal &dec, int places)
{
    roundToDigits(dec, dec.pointPos + places);
}

char digitAt(const Decimal &dec, int index) // index 0 is the first digit of the significand
{
    if (dec.zero || index < 0 || size_t(index) >= dec.digits.size())
        return '0';
    return dec.digits[size_t(index)];
}

// Integer digits without leading zeros ("" for a value below 1).
std::string integerDigits(const Decimal &dec)
{
    std::string out;
    if (dec.zero)
        return out;
    for (int i = 0; i < dec.pointPos; ++i)
        out.push_back(digitAt(dec, i));
    return out;
}

std::string fractionDigits(const Decimal &dec, int places)
{
    std::string out;
    for (int i = 0; i < places; ++i)
        out.push_back(digitAt(dec, dec.pointPos + i));
    return out;
}

std::string groupThousands(const std::string &intDigits, char separator)
{
    if (intDigits.size() <= 3 || separator == '\0')
        return intDigits;
    std::string out;
    const size_t first = intDigits.size() % 3 == 0 ? 3 : intDigits.size() % 3;
    out.append(intDigits, 0, first);
    for (size_t i = first; i < intDigits.size(); i += 3) {
        out.push_back(separator);
        out.append(intDigits, i, 3);
    }
    return out;
}

// --- Float format sections -------------------------------------------------------------------------

std::vector<std::string> splitSections(const std::string &format)
{
    std::vector<std::string> sections(1);
    char quote = 0;
    for (char c : format) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ';') {
            sections.emplace_back();
            continue;
        }
        sections.back().push_back(c);
    }
    return sections;
}

struct SectionInfo
{
    bool thousands = false;
    bool hasPlaceholders = false;
    int intPlaceholders = 0;
    int minIntDigits = 0;
    int minFrac = 0;
    int maxFrac = 0;
    bool scientific = false;
    bool expPlus = false; // 'E+': always show the exponent sign
    char expChar = 'E';
    int expDigits = 0;
};

SectionInfo analyse(const std::string &section)
{
    SectionInfo info;
    bool afterPoint = false;
    bool seenZero = false;
    int fracCount = 0;
    char quote = 0;
    for (size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (info.scientific)
            continue;
        if (c == '0' || c == '#') {
            info.hasPlaceholders = true;
            if (afterPoint) {
                ++fracCount;
                if (c == '0')
                    info.minFrac = fracCount;
            } else {
                ++info.intPlaceholders;
                if (c == '0')
                    seenZero = true;
                if (seenZero)
                    ++info.minIntDigits;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            info.hasPlaceholders = true;
        } else if (c == ',' && !afterPoint) {
            info.thousands = true;
        } else if ((c == 'E' || c == 'e') && i + 1 < section.size()
                   && (section[i + 1] == '+' || section[i + 1] == '-')) {
            info.scientific = true;
            info.expChar = c;
            info.expPlus = section[i + 1] == '+';
            size_t j = i + 2;
            while (j < section.size() && section[j] == '0') {
                ++info.expDigits;
                ++j;
            }
        }
    }
    info.maxFrac = fracCount;
    return info;
}

std::string numberText(const Decimal &rounded, const SectionInfo &info, const TFormatSettings &fs)
{
    std::string intDigits = integerDigits(rounded);
    while (int(intDigits.size()) < info.minIntDigits)
        intDigits.insert(intDigits.begin(), '0');
    if (info.thousands)
        intDigits = groupThousands(intDigits, fs.thousandSeparator);
    std::string frac = fractionDigits(rounded, info.maxFrac);
    while (int(frac.size()) > info.minFrac && frac.back() == '0')
        frac.pop_back();
    std::string out = intDigits;
    if (!frac.empty()) {
        out.push_back(fs.decimalSeparator);
        out += frac;
    }
    return out;
}

std::string scientificText(double absValue, const SectionInfo &info, const TFormatSettings &fs,
                           bool &isZero)
{
    Decimal dec = toDecimal(absValue);
    const int intDigits = std::max(1, info.intPlaceholders);
    roundToDigits(dec, intDigits + info.maxFrac);
    isZero = dec.zero;
    const int exponent = dec.zero ? 0 : dec.pointPos - intDigits;
    std::string out;
    for (int i = 0; i < intDigits; ++i)
        out.push_back(digitAt(dec, i));
    std::string frac;
    for (int i = 0; i < info.maxFrac; ++i)
        frac.push_back(digitAt(dec, intDigits + i));
    while (int(frac.size()) > info.minFrac && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty()) {
        out.push_back(fs.decimalSeparator);
        out += frac;
    }
    out.push_back(info.expChar);
    if (exponent < 0)
        out.push_back('-');
    else if (info.expPlus)
        out.push_back('+');
    std::string expText = std::to_string(std::abs(exponent));
    while (int(expText.size()) < info.expDigits)
        expText.insert(expText.begin(), '0');
    return out + expText;
}

// Emits the section's literal text around the number: the number goes where the first
// placeholder (or decimal point) stands; later placeholders, points and commas are consumed.
std::string applySection(const std::string &section, const std::string &number)
{
    std::string out;
    bool numberDone = false;
    char quote = 0;
    for (size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else
                out.push_back(c);
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c == '0' || c == '#' || c == '.' || (c == ',' && numberDone)) {
            if (!numberDone) {
                out += number;
                numberDone = true;
            }
            continue;
        }
        if (c == ',') { // a comma before any placeholder only switches grouping on
            continue;
        }
        if ((c == 'E' || c == 'e') && i + 1 < section.size() && (section[i + 1] == '+' || section[i + 1] == '-')) {
            if (!numberDone) {
                out += number;
                numberDone = true;
            }
            i += 1;
            while (i + 1 < section.size() && section[i + 1] == '0')
                ++i;
            continue;
        }
        out.push_back(c);
    }
    if (!numberDone)
        out += number;
    return out;
}

} // namespace

std::string FormatFloat(const std::string &format, double value, const TFormatSettings &fs)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    if (format.empty())
        return FloatToStr(value, fs);

    const std::vector<std::string> sections = splitSections(format);
    const double absValue = std::fabs(value);

    auto render = [&](const std::string &section, bool &isZero) {
        const SectionInfo info = analyse(section);
        if (info.scientific)
            return applySection(section, scientificText(absValue, info, fs, isZero));
        Decimal dec = toDecimal(absValue);
        roundToPlaces(dec, info.maxFrac);
        isZero = dec.zero;
        return applySection(section, info.hasPlaceholders ? numberText(dec, info, fs) : std::string());
    };

    bool isZero = false;
    std::string text = render(sections[0], isZero);
    if (isZero) {
        if (sections.size() >= 3 && !sections[2].empty()) {
            bool dummy = false;
            return render(sections[2], dummy);
        }
        return text; // never "-0"
    }
    if (value < 0) {
        if (sections.size() >= 2 && !sections[1].empty()) {
            bool dummy = false;
            return render(sections[1], dummy);
        }
        return "-" + text;
    }
    return text;
}

std::string FloatToStr(double value, const TFormatSettings &fs)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    Decimal dec = toDecimal(std::fabs(value));
    if (dec.zero)
        return "0";
    std::string out = value < 0 ? "-" : "";
    const int exponent = dec.pointPos - 1;
    if (exponent >= 15 || exponent < -4) {
        out.push_back(dec.digits[0]);
        if (dec.digits.size() > 1) {
            out.push_back(fs.decimalSeparator);
            out.append(dec.digits, 1, std::string::npos);
        }
        out += "E" + std::to_string(exponent);
        return out;
    }
    std::string intDigits = integerDigits(dec);
    out += intDigits.empty() ? "0" : intDigits;
    const int fracCount = int(dec.digits.size()) - dec.pointPos;
    if (fracCount > 0) {
        out.push_back(fs.decimalSeparator);
        out += fractionDigits(dec, fracCount);
    }
    return out;
}

bool TryStrToFloat(const std::string &text, double &value, const TFormatSettings &fs)
{
    std::string t = Trim(text);
    if (t.empty())
        return false;
    bool sawLocale = false, sawPoint = false;
    for (char &c : t) {
        if (c == fs.decimalSeparator && c != '.') {
            sawLocale = true;
            c = '.';
        } else if (c == '.') {
            sawPoint = true;
        } else if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e' || c == 'E')) {
            return false;
        }
    }
    if (sawLocale && sawPoint)
        return false;
    const char *begin = t.data();
    const char *end = t.data() + t.size();
    bool negative = false;
    if (*begin == '+' || *begin == '-') {
        negative = *begin == '-';
        ++begin;
    }
    if (begin == end || *begin == '+' || *begin == '-')
        return false;
    double v = 0;
    const auto res = std::from_chars(begin, end, v);
    if (res.ec != std::errc() || res.ptr != end)
        return false;
    value = negative ? -v : v;
    return true;
}

double StrToFloat(const std::string &text, const TFormatSettings &fs)
{
    double value = 0;
    if (!TryStrToFloat(text, value, fs))
        throw Exception("'" + text + "' is not a valid floating point value");
    return value;
}

namespace {

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

// The same steps as FormatFloat (15 significant digits, rounded half away from zero at `places`
// decimals, read back as the nearest double), on a stack buffer: no allocation.
double RoundDec(double value, int places)
{
    if (!std::isfinite(value) || value == 0)
        return value;
    // Fast path. The 15-digit decimal, scaled, differs from `scaled` by at most 0.5e-14 of it (plus the
    // product's rounding, 2^-53 of it), so unless the fraction is within 1e-13 x scaled of a half step
    // it rounds to the same integer m; and m / 10^places, both exact below 1e12, is one correctly rounded
    // division: the nearest double to the decimal result, as reading it back is.
    if (places >= 0 && places <= 22) {
        const double scaled = std::fabs(value) * kPow10[places];
        if (scaled < 1e12) {
            const double whole = std::floor(scaled);
            const double fraction = scaled - whole; // exact
            if (std::fabs(fraction - 0.5) > 1e-13 * scaled) {
                const double m = fraction > 0.5 ? whole + 1 : whole;
                if (m == 0)
                    return 0.0;
                const double out = m / kPow10[places];
                return value < 0 ? -out : out;
            }
        }
    }

    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific, 14);
    const char *e = static_cast<const char *>(std::memchr(text, 'e', size_t(written.ptr - text)));
    char digits[24];
    int n = 0;
    for (const char *p = text; p < e; ++p)
        if (*p != '.')
            digits[n++] = *p;
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), written.ptr, exponent);
    int pointPos = exponent + 1;
    while (n > 1 && digits[n - 1] == '0')
        --n;

    // Half away from zero, keeping pointPos + places significant digits (64-bit: places may be huge).
    const int64_t keep = int64_t(pointPos) + places;
    if (keep < 0)
        return 0.0;
    if (keep < n) {
        const bool up = digits[keep] >= '5';
        n = int(keep);
        if (up) {
            int i = n - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i >= 0) {
                ++digits[i];
            } else {
                std::memmove(digits + 1, digits, size_t(n));
                digits[0] = '1';
                ++n;
                ++pointPos;
            }
        }
        while (n > 0 && digits[n - 1] == '0')
            --n;
        if (n == 0)
            return 0.0;
    }

    // At most 15 digits: the integer is exact in a double, and one multiplication or division by an
    // exact power of ten is correctly rounded, as reading the decimal text is.
    uint64_t mantissa = 0;
    for (int i = 0; i < n; ++i)
        mantissa = mantissa * 10 + uint64_t(digits[i] - '0');
    const int scale = pointPos - n;
    double out = 0;
    if (scale >= 0 && scale <= 22) {
        out = double(mantissa) * kPow10[scale];
    } else if (scale < 0 && scale >= -22) {
        out = double(mantissa) / kPow10[-scale];
    } else {
        // Far exponents: the digits and exponent as text, read back by from_chars. A 15-digit
        // rounding above the largest double (the largest values themselves) keeps the value: such
        // a number has no decimals to round, and 0 would be a wrong figure.
        char decimal[48];
        std::memcpy(decimal, digits, size_t(n));
        decimal[n] = 'e';
        const auto end = std::to_chars(decimal + n + 1, decimal + sizeof decimal, scale).ptr;
        if (std::from_chars(decimal, end, out).ec != std::errc())
            return value;
    }
    return value < 0 ? -out : out;
}

// --- Edit masks ----------------------------------------------------------------------------------------

namespace {

bool isMaskPlaceholder(char c)
{
    switch (c) {
    case '0': case '9': case '#': case 'L': case 'l': case 'A': case 'a': case 'C': case 'c':
        return true;
    default:
        return false;
    }
}

} // namespace

std::string FormatMaskText(const std::string &editMask, const std::string &value)
{
    if (editMask.empty())
        return value;
    // mask;save-literals;blank. The last two fields are single characters at the end.
    std::string mask = editMask;
    bool saveLiterals = true;
    char blank = '_';
    {
        const size_t last = mask.rfind(';');
        if (last != std::string::npos && last > 0 && (last == 0 || mask[last - 1] != '\\')) {
            const size_t prev = mask.rfind(';', last - 1);
            if (prev != std::string::npos && (prev == 0 || mask[prev - 1] != '\\')) {
                const std::string save = mask.substr(prev + 1, last - prev - 1);
                const std::string blankText = mask.substr(last + 1);
                saveLiterals = save != "0";
                if (!blankText.empty())
                    blank = blankText[0];
                mask = mask.substr(0, prev);
            } else {
                saveLiterals = mask.substr(last + 1) != "0";
                mask = mask.substr(0, last);
            }
        }
    }

    struct Slot { bool literal; char ch; int caseMode; };
    std::vector<Slot> slots;
    bool rightAlign = false;
    int caseMode = 0; // 1 upper, -1 lower
    for (size_t i = 0; i < mask.size(); ++i) {
        const char c = mask[i];
        if (c == '!') {
            rightAlign = true;
        } else if (c == '>') {
            if (i + 1 < mask.size() && mask[i + 1] == '<') {
                caseMode = 0;
                ++i;
            } else {
                caseMode = 1;
            }
        } else if (c == '<') {
            caseMode = -1;
        } else if (c == '\\' && i + 1 < mask.size()) {
            slots.push_back({true, mask[++i], 0});
        } else if (isMaskPlaceholder(c)) {
            slots.push_back({false, c, caseMode});
        } else {
            slots.push_back({true, c, 0});
        }
    }

    auto convert = [](char c, int mode) {
        if (mode > 0 && c >= 'a' && c <= 'z')
            return char(c - 'a' + 'A');
        if (mode < 0 && c >= 'A' && c <= 'Z')
            return char(c - 'A' + 'a');
        return c;
    };

    std::string out;
    if (saveLiterals) {
        // The value carries the literals at their places.
        size_t pos = 0;
        for (const Slot &slot : slots) {
            if (slot.literal) {
                out.push_back(slot.ch);
                if (pos < value.size() && value[pos] == slot.ch)
                    ++pos;
            } else {
                out.push_back(pos < value.size() ? convert(value[pos++], slot.caseMode) : blank);
            }
        }
        return out;
    }

    size_t placeholders = 0;
    for (const Slot &slot : slots)
        placeholders += slot.literal ? 0 : 1;
    std::string chars = value.substr(0, std::min(value.size(), placeholders));
    if (rightAlign && chars.size() < placeholders)
        chars.insert(chars.begin(), placeholders - chars.size(), blank);
    size_t pos = 0;
    for (const Slot &slot : slots) {
        if (slot.literal)
            out.push_back(slot.ch);
        else
            out.push_back(pos < chars.size() ? convert(chars[pos++], slot.caseMode) : blank);
    }
    return out;
}

} // namespace tk

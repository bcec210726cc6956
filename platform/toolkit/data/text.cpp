#include "platform/toolkit/data/text.h"

#include <charconv>

namespace tk {

std::string Utf8Left(const std::string &text, size_t characters)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) { // start of a character
            if (count == characters)
                return text.substr(0, i);
            ++count;
        }
    }
    return text;
}

size_t Utf8Length(const std::string &text)
{
    size_t count = 0;
    for (char ch : text)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
            ++count;
    return count;
}

std::string Trim(const std::string &text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

bool ParsePercent(const std::string &text, double &percent)
{
    std::string number = text;
    for (char &c : number) {
        if (c == ',')
            c = '.';
    }
    double value = 0;
    const char *end = number.data() + number.size();
    const auto [stop, error] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (number.empty() || error != std::errc() || stop != end || !(value >= 0 && value <= 100))
        return false;
    percent = value;
    return true;
}

} // namespace tk

#include "platform/toolkit/data/text.h"

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

} // namespace tk

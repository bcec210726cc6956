#pragma once

// Text helpers shared by the connections of every dialect (not part of the public interface).

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace db::detail {

inline std::string upper(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

inline std::string lower(std::string text)
{
    for (char &c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

inline bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// A server's message on one line (libpq's messages carry newlines and tabs), without a trailing period.
inline std::string oneLine(std::string_view message)
{
    std::string text;
    bool space = false;
    for (char c : message) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            space = !text.empty();
            continue;
        }
        if (space)
            text += ' ';
        space = false;
        text += c;
    }
    return text;
}

// The statement on one line, cut at 160 characters: for error texts.
inline std::string sqlExcerpt(std::string_view sql)
{
    std::string text = oneLine(sql);
    if (text.size() >= 160) {
        text.resize(160);
        text += "...";
    }
    return text;
}

} // namespace db::detail

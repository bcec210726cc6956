#include "tools/driver/command.h"

#include "platform/toolkit/data/datetime.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <map>

namespace driver {

bool parseInt(const std::string &text, int &value)
{
    if (text.empty())
        return false;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i >= text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
        if (v > (long long)INT_MAX + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    value = int(v);
    return true;
}

bool isSkippedLine(const std::string &line)
{
    const size_t first = line.find_first_not_of(" \t\r\n");
    return first == std::string::npos || line[first] == '#';
}

std::vector<std::string> splitWords(const std::string &line)
{
    std::vector<std::string> words;
    size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < line.size()) {
        while (i < line.size() && blank(line[i]))
            ++i;
        if (i >= line.size())
            break;
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '\\' && i < line.size()) {
                    word += line[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    word += c;
                }
            }
            if (!closed)
                throw CommandError("unterminated quote");
            if (i < line.size() && !blank(line[i]))
                throw CommandError("a quoted word must be followed by a blank");
        } else {
            while (i < line.size() && !blank(line[i]))
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

namespace {

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

const std::map<std::string, int> &keyNames()
{
    static const std::map<std::string, int> names = {
        {"delete", Qt::Key_Delete},
        {"del", Qt::Key_Delete},
        {"insert", Qt::Key_Insert},
        {"ins", Qt::Key_Insert},
        {"enter", Qt::Key_Return},
        {"return", Qt::Key_Return},
        {"escape", Qt::Key_Escape},
        {"esc", Qt::Key_Escape},
        {"tab", Qt::Key_Tab},
        {"backspace", Qt::Key_Backspace},
        {"up", Qt::Key_Up},
        {"down", Qt::Key_Down},
        {"left", Qt::Key_Left},
        {"right", Qt::Key_Right},
        {"home", Qt::Key_Home},
        {"end", Qt::Key_End},
        {"pageup", Qt::Key_PageUp},
        {"pgup", Qt::Key_PageUp},
        {"pagedown", Qt::Key_PageDown},
        {"pgdn", Qt::Key_PageDown},
        {"space", Qt::Key_Space},
    };
    return names;
}

} // namespace

KeyChord parseKeyChord(const std::string &text)
{
    if (text.empty())
        throw CommandError("no key given");
    KeyChord chord;
    bool haveKey = false;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t plus = text.find('+', start);
        const std::string part =
            lower(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start));
        start = plus == std::string::npos ? text.size() + 1 : plus + 1;
        if (part.empty())
            throw CommandError("bad key '" + text + "'");
        if (part == "ctrl" || part == "control") {
            chord.modifiers |= Qt::ControlModifier;
            continue;
        }
        if (part == "shift") {
            chord.modifiers |= Qt::ShiftModifier;
            continue;
        }
        if (part == "alt") {
            chord.modifiers |= Qt::AltModifier;
            continue;
        }
        if (part == "meta") {
            chord.modifiers |= Qt::MetaModifier;
            continue;
        }
        int key = 0;
        if (const auto it = keyNames().find(part); it != keyNames().end()) {
            key = it->second;
        } else if (part.size() == 1 && std::isalpha((unsigned char)part[0])) {
            key = Qt::Key_A + (part[0] - 'a');
        } else if (part.size() == 1 && std::isdigit((unsigned char)part[0])) {
            key = Qt::Key_0 + (part[0] - '0');
        } else if (part.size() >= 2 && part[0] == 'f') {
            int n = 0;
            if (parseInt(part.substr(1), n) && n >= 1 && n <= 12 && part[1] != '+' && part[1] != '-')
                key = Qt::Key_F1 + (n - 1);
        }
        if (key == 0)
            throw CommandError("unknown key '" + part + "'");
        if (haveKey)
            throw CommandError("more than one key in '" + text + "'");
        chord.key = key;
        haveKey = true;
    }
    if (!haveKey)
        throw CommandError("no key in '" + text + "'");
    return chord;
}

MoveTarget parseMoveTarget(const std::string &text)
{
    MoveTarget t;
    const std::string w = lower(text);
    if (w == "first") {
        t.kind = MoveTarget::Kind::First;
    } else if (w == "prior") {
        t.kind = MoveTarget::Kind::Prior;
    } else if (w == "next") {
        t.kind = MoveTarget::Kind::Next;
    } else if (w == "last") {
        t.kind = MoveTarget::Kind::Last;
    } else {
        int n = 0;
        if (!parseInt(text, n) || n < 1)
            throw CommandError("move takes first, prior, next, last or a position from 1, not '" + text
                               + "'");
        t.kind = MoveTarget::Kind::RecNo;
        t.recNo = n;
    }
    return t;
}

namespace {

tk::TDateTime parseDate(const std::string &text, const char *what)
{
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3
        || text[4] != '-' || text[7] != '-')
        throw CommandError(std::string(what) + " must be a date YYYY-MM-DD, not '" + text + "'");
    try {
        return tk::EncodeDate(y, m, d);
    } catch (const std::exception &) {
        throw CommandError(std::string(what) + ": no such date '" + text + "'");
    }
}

int32_t parseCode(const std::string &text, const char *what)
{
    int value = 0;
    if (!parseInt(text, value))
        throw CommandError(std::string(what) + " must be an integer, not '" + text + "'");
    return value;
}

} // namespace

OpenArgs parseOpenArgs(const std::vector<std::string> &words)
{
    if (words.size() < 7 || words.size() > 8)
        throw CommandError(
            "open takes FILIAL SERVFILI TIPOCUSTO TIPOCUSTOREAL DTREFERENCIA DTREFEFIXA IDREFEFIXA "
            "[FILICUST]");
    OpenArgs a;
    a.cdFilial = words[0];
    a.cdServFili = words[1];
    a.cdTipoCusto = parseCode(words[2], "TIPOCUSTO");
    a.cdTipoCustoReal = parseCode(words[3], "TIPOCUSTOREAL");
    a.dtReferencia = parseDate(words[4], "DTREFERENCIA");
    a.dtRefeFixa = parseDate(words[5], "DTREFEFIXA");
    if (words[6] != "0" && words[6] != "1")
        throw CommandError("IDREFEFIXA must be 0 or 1, not '" + words[6] + "'");
    a.idRefeFixa = words[6] == "1";
    if (words.size() == 8)
        a.cdFiliCust = words[7];
    return a;
}

tk::Variant OpenArgs::entryArray() const
{
    return tk::Variant::array({cdFilial, cdServFili, cdTipoCusto, cdTipoCustoReal,
                               tk::Variant::fromDateTime(dtReferencia), tk::Variant::fromDateTime(dtRefeFixa),
                               idRefeFixa, cdFiliCust});
}

RowList parseRowList(const std::string &text)
{
    RowList out;
    if (text == "all") {
        out.all = true;
        return out;
    }
    if (text == "none")
        return out;
    std::vector<int> rows;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const size_t dash = part.find('-');
        int from = 0, to = 0;
        const bool ok = dash == std::string::npos
                            ? parseInt(part, from) && (to = from, true)
                            : parseInt(part.substr(0, dash), from) && parseInt(part.substr(dash + 1), to);
        if (!ok || from < 1 || to < from)
            throw CommandError("rows are 'all', 'none' or a list such as 1,3,5-7 (got '" + text + "')");
        for (int r = from; r <= to; ++r)
            rows.push_back(r - 1);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    out.rows = std::move(rows);
    return out;
}

Qt::KeyboardModifiers parseModifiers(const std::string &text)
{
    std::string lower;
    for (char c : text)
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (lower == "none" || lower.empty())
        return Qt::NoModifier;
    Qt::KeyboardModifiers mods;
    size_t start = 0;
    while (start <= lower.size()) {
        const size_t plus = lower.find('+', start);
        const std::string word = lower.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
        if (word == "ctrl")
            mods |= Qt::ControlModifier;
        else if (word == "shift")
            mods |= Qt::ShiftModifier;
        else
            throw CommandError("modifiers are ctrl, shift or ctrl+shift (got '" + text + "')");
        if (plus == std::string::npos)
            break;
        start = plus + 1;
    }
    return mods;
}

} // namespace driver

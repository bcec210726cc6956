#pragma once

// Parsing of the driver's script lines: words, key chords, cursor moves and the open command.

#include "platform/toolkit/data/variant.h"

#include <Qt>

#include <string>
#include <vector>

namespace driver {

// Raised for a line that is not a valid command; the text is the answer's error.
class CommandError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

// Strict decimal integer (optional sign, digits only, within int range).
bool parseInt(const std::string &text, int &value);

// True for a line the driver skips: blank, or beginning with '#' after leading blanks.
bool isSkippedLine(const std::string &line);

// Words separated by blanks; a word in double quotes may hold blanks ("a b"), with \" and \\ inside.
// CommandError for an unterminated quote.
std::vector<std::string> splitWords(const std::string &line);

// "ctrl+delete", "ctrl+shift+delete", "delete", "down", "enter", "f5", "a": the key and the modifiers,
// case-insensitive. CommandError for an unknown name, a missing key or two keys.
struct KeyChord
{
    int key = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};
KeyChord parseKeyChord(const std::string &text);

// "1,3,5-7" (1-based rows, ascending, each once): the view rows (0-based); "all" and "none" give
// all = true or an empty list. CommandError for anything else.
struct RowList
{
    bool all = false;
    std::vector<int> rows; // 0-based
};
RowList parseRowList(const std::string &text);

// "ctrl", "shift", "ctrl+shift", "none": modifiers held during a click. CommandError otherwise.
Qt::KeyboardModifiers parseModifiers(const std::string &text);

// first | prior | next | last | N (1-based position in the view).
struct MoveTarget
{
    enum class Kind { First, Prior, Next, Last, RecNo };
    Kind kind = Kind::First;
    int recNo = 0;
};
MoveTarget parseMoveTarget(const std::string &text);

// open FILIAL SERVFILI TIPOCUSTO TIPOCUSTOREAL DTREFERENCIA DTREFEFIXA IDREFEFIXA [FILICUST]
// (the words after "open"). Dates as YYYY-MM-DD, the flag as 0 or 1.
struct OpenArgs
{
    std::string cdFilial, cdServFili;
    int32_t cdTipoCusto = 0, cdTipoCustoReal = 0;
    tk::TDateTime dtReferencia = 0, dtRefeFixa = 0;
    bool idRefeFixa = false;
    std::string cdFiliCust;

    // The eight-element array the host hands to IniProc.
    tk::Variant entryArray() const;
};
OpenArgs parseOpenArgs(const std::vector<std::string> &words);

} // namespace driver

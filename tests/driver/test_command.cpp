// Parsing of the driver's script lines.

#include "tools/driver/command.h"

#include "platform/toolkit/data/datetime.h"

#include <gtest/gtest.h>

namespace {

using driver::CommandError;

std::string errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const CommandError &e) {
        return e.what();
    }
    return "no error";
}

TEST(ScriptLines, SkippedLines)
{
    EXPECT_TRUE(driver::isSkippedLine(""));
    EXPECT_TRUE(driver::isSkippedLine("   \t"));
    EXPECT_TRUE(driver::isSkippedLine("\r"));
    EXPECT_TRUE(driver::isSkippedLine("# a comment"));
    EXPECT_TRUE(driver::isSkippedLine("   # indented comment"));
    EXPECT_FALSE(driver::isSkippedLine("dump qryTrabCusto"));
    EXPECT_FALSE(driver::isSkippedLine(" calls # not a comment at the start"));
}

TEST(ScriptLines, Words)
{
    struct Case
    {
        const char *line;
        std::vector<std::string> words;
    };
    const Case cases[] = {
        {"dump qryTrabCusto", {"dump", "qryTrabCusto"}},
        {"  key\tdbgPrato   ctrl+delete \r", {"key", "dbgPrato", "ctrl+delete"}},
        {"open 0001 001 44 44 2026-03-16 2026-03-16 0 \"\"",
         {"open", "0001", "001", "44", "44", "2026-03-16", "2026-03-16", "0", ""}},
        {"x \"two words\" \"a \\\"q\\\"\"", {"x", "two words", "a \"q\""}},
        {"", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(driver::splitWords(c.line), c.words) << c.line;
    EXPECT_EQ(errorOf([] { driver::splitWords("x \"open"); }), "unterminated quote");
    EXPECT_NE(errorOf([] { driver::splitWords("x \"a\"b"); }).find("followed by a blank"), std::string::npos);
}

TEST(ScriptLines, KeyChords)
{
    struct Case
    {
        const char *text;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const Case cases[] = {
        {"ctrl+delete", Qt::Key_Delete, Qt::ControlModifier},
        {"CTRL+Delete", Qt::Key_Delete, Qt::ControlModifier},
        {"ctrl+shift+delete", Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier},
        {"shift+ctrl+del", Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier},
        {"delete", Qt::Key_Delete, Qt::NoModifier},
        {"alt+delete", Qt::Key_Delete, Qt::AltModifier},
        {"down", Qt::Key_Down, Qt::NoModifier},
        {"up", Qt::Key_Up, Qt::NoModifier},
        {"enter", Qt::Key_Return, Qt::NoModifier},
        {"pagedown", Qt::Key_PageDown, Qt::NoModifier},
        {"ctrl+home", Qt::Key_Home, Qt::ControlModifier},
        {"f5", Qt::Key_F5, Qt::NoModifier},
        {"F12", Qt::Key_F12, Qt::NoModifier},
        {"ctrl+a", Qt::Key_A, Qt::ControlModifier},
        {"7", Qt::Key_7, Qt::NoModifier},
    };
    for (const Case &c : cases) {
        const driver::KeyChord chord = driver::parseKeyChord(c.text);
        EXPECT_EQ(chord.key, c.key) << c.text;
        EXPECT_EQ(chord.modifiers, c.modifiers) << c.text;
    }
    for (const char *bad :
         {"", "ctrl", "ctrl+", "+delete", "ctrl++delete", "delete+up", "hyper+x", "f13", "f0", "ab"})
        EXPECT_NE(errorOf([&] { driver::parseKeyChord(bad); }), "no error") << bad;
}

TEST(ScriptLines, RowListsAndModifiers)
{
    EXPECT_TRUE(driver::parseRowList("all").all);
    EXPECT_TRUE(driver::parseRowList("none").rows.empty());
    EXPECT_EQ(driver::parseRowList("3").rows, (std::vector<int>{2}));
    EXPECT_EQ(driver::parseRowList("5-7,1,6").rows, (std::vector<int>{0, 4, 5, 6}));
    for (const char *bad : {"", "0", "3-1", "a", "1,,2", "-2", "1-"})
        EXPECT_THROW(driver::parseRowList(bad), driver::CommandError) << bad;
    EXPECT_EQ(driver::parseModifiers("ctrl"), Qt::ControlModifier);
    EXPECT_EQ(driver::parseModifiers("Shift+Ctrl"), Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(driver::parseModifiers("none"), Qt::NoModifier);
    EXPECT_THROW(driver::parseModifiers("alt"), driver::CommandError);
}

TEST(ScriptLines, MoveTargets)
{
    using Kind = driver::MoveTarget::Kind;
    EXPECT_EQ(driver::parseMoveTarget("first").kind, Kind::First);
    EXPECT_EQ(driver::parseMoveTarget("PRIOR").kind, Kind::Prior);
    EXPECT_EQ(driver::parseMoveTarget("next").kind, Kind::Next);
    EXPECT_EQ(driver::parseMoveTarget("last").kind, Kind::Last);
    const driver::MoveTarget n = driver::parseMoveTarget("16");
    EXPECT_EQ(n.kind, Kind::RecNo);
    EXPECT_EQ(n.recNo, 16);
    for (const char *bad : {"0", "-1", "x", "1.5", ""})
        EXPECT_NE(errorOf([&] { driver::parseMoveTarget(bad); }), "no error") << bad;
}

TEST(ScriptLines, OpenArguments)
{
    const driver::OpenArgs a =
        driver::parseOpenArgs({"0001", "001", "44", "45", "2026-03-16", "2026-02-28", "1", "0002"});
    EXPECT_EQ(a.cdFilial, "0001");
    EXPECT_EQ(a.cdServFili, "001");
    EXPECT_EQ(a.cdTipoCusto, 44);
    EXPECT_EQ(a.cdTipoCustoReal, 45);
    EXPECT_DOUBLE_EQ(a.dtReferencia, tk::EncodeDate(2026, 3, 16));
    EXPECT_DOUBLE_EQ(a.dtRefeFixa, tk::EncodeDate(2026, 2, 28));
    EXPECT_TRUE(a.idRefeFixa);
    EXPECT_EQ(a.cdFiliCust, "0002");

    // The array IniProc receives: texts, 32-bit codes, date-times and the flag, in entry order.
    const tk::Variant entry = a.entryArray();
    ASSERT_EQ(entry.size(), 8u);
    const tk::VarType types[] = {tk::VarType::String,  tk::VarType::String,   tk::VarType::Integer,
                                 tk::VarType::Integer, tk::VarType::DateTime, tk::VarType::DateTime,
                                 tk::VarType::Boolean, tk::VarType::String};
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(entry[i].type(), types[i]) << "element " << i;
    EXPECT_EQ(entry[7].asString(), "0002");

    const driver::OpenArgs noCostBranch =
        driver::parseOpenArgs({"0001", "001", "44", "44", "2026-03-16", "2026-03-16", "0"});
    EXPECT_EQ(noCostBranch.cdFiliCust, "");
    EXPECT_FALSE(noCostBranch.idRefeFixa);
    EXPECT_EQ(noCostBranch.entryArray()[7].asString(), "");

    struct Bad
    {
        std::vector<std::string> words;
        const char *message;
    };
    const Bad bad[] = {
        {{"0001", "001", "44", "44", "2026-03-16", "2026-03-16"}, "open takes"},
        {{"0001", "001", "44", "44", "2026-03-16", "2026-03-16", "0", "0002", "x"}, "open takes"},
        {{"0001", "001", "x44", "44", "2026-03-16", "2026-03-16", "0"}, "TIPOCUSTO must be an integer"},
        {{"0001", "001", "44", "4.5", "2026-03-16", "2026-03-16", "0"}, "TIPOCUSTOREAL must be an integer"},
        {{"0001", "001", "44", "44", "16/03/2026", "2026-03-16", "0"}, "DTREFERENCIA must be a date"},
        {{"0001", "001", "44", "44", "2026-02-30", "2026-03-16", "0"}, "DTREFERENCIA: no such date"},
        {{"0001", "001", "44", "44", "2026-03-16", "2026-3-16", "0"}, "DTREFEFIXA must be a date"},
        {{"0001", "001", "44", "44", "2026-03-16", "2026-03-16", "true"}, "IDREFEFIXA must be 0 or 1"},
    };
    for (const Bad &b : bad) {
        const std::string error = errorOf([&] { driver::parseOpenArgs(b.words); });
        EXPECT_NE(error.find(b.message), std::string::npos) << error;
    }
}

} // namespace

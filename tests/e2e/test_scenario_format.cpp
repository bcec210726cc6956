// The scenario file format and the runner's assertions, without a driver.

#include "tests/e2e/scenario.h"

#include "tools/driver/jsonvalue.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <fstream>

namespace {

std::string errorOf(const std::string &text)
{
    try {
        e2e::parseScenario(text, "t.scn");
    } catch (const std::exception &e) {
        return e.what();
    }
    return "no error";
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

TEST(ScenarioFormat, CommandsExpectationsAndArguments)
{
    const e2e::Scenario s = e2e::parseScenario("# opening the window\n"
                                               "#! --module-ativo 24 --replay ${SCENARIO_DIR}/calls.json\n"
                                               "\n"
                                               "open 0001 001 44 44 2026-03-16 2026-03-16 0\n"
                                               "=> {\"ok\": true}\n"
                                               "=> {\"window\": true}\n"
                                               "   dump qryTrabCusto\r\n"
                                               "=> {\"recordCount\": 31,\n"
                                               "=>  \"active\": true}\n"
                                               "calls\n",
                                               "/data/scn/t.scn");
    EXPECT_EQ(s.driverArgs,
              (std::vector<std::string>{"--module-ativo", "24", "--replay", "/data/scn/calls.json"}));
    ASSERT_EQ(s.steps.size(), 3u);
    EXPECT_EQ(s.steps[0].line, 4);
    EXPECT_EQ(s.steps[0].command, "open 0001 001 44 44 2026-03-16 2026-03-16 0");
    ASSERT_EQ(s.steps[0].expectations.size(), 2u);
    EXPECT_EQ(driver::jsonText(s.steps[0].expectations[1]), "{\"window\":true}");
    EXPECT_EQ(s.steps[1].command, "dump qryTrabCusto");
    ASSERT_EQ(s.steps[1].expectations.size(), 1u); // one JSON text over two lines
    EXPECT_EQ(driver::jsonText(s.steps[1].expectations[0]), "{\"active\":true,\"recordCount\":31}");
    EXPECT_TRUE(s.steps[2].expectations.empty());
}

TEST(ScenarioFormat, BadFilesNameTheLine)
{
    EXPECT_EQ(errorOf("=> {\"ok\": true}\n"), "t.scn:1: an expectation without a command before it");
    EXPECT_EQ(errorOf("calls\n=> {\"calls\": [\ndump x\n"),
              "t.scn:2: the expected JSON does not end: {\"calls\": [\n");
    EXPECT_EQ(errorOf("calls\n=> {\"calls\": \n"), "t.scn:2: the expected JSON does not end: {\"calls\": \n");
}

TEST(ScenarioAssertions, CallsIncludeAndMessages)
{
    const QJsonObject calls = object(R"({"ok": true, "calls": [
        {"method": "GetParams", "args": ["0001"]},
        {"method": "DelConsplan", "args": ["ABCDE12345", "0001"]}]})");
    EXPECT_TRUE(e2e::CallsInclude(calls, "DelConsplan"));
    EXPECT_TRUE(e2e::CallsInclude(calls, "DelConsplan", R"([null, "0001"])"));
    EXPECT_FALSE(e2e::CallsInclude(calls, "DelConsplan", R"([null, "0002"])"));
    EXPECT_FALSE(e2e::CallsInclude(calls, "GetParams", R"(["0001", "extra"])"));
    EXPECT_FALSE(e2e::CallsInclude(calls, "GetTrabCusto"));
    EXPECT_TRUE(e2e::NoMessages(object(R"({"ok": true, "messages": []})")));
    EXPECT_FALSE(e2e::NoMessages(object(R"({"ok": true, "messages": [{"kind": "error", "text": "x"}]})")));
    EXPECT_FALSE(e2e::NoMessages(object(R"({"ok": false})")));
    EXPECT_TRUE(e2e::AnswerOk(object(R"({"ok": true, "ms": 1})")));
    EXPECT_FALSE(e2e::AnswerOk(object(R"({"ok": false, "error": "no window"})")));
    EXPECT_TRUE(e2e::JsonContains(R"({"rows": [[1, null]]})",
                                  QJsonValue(object(R"({"rows": [[1, null]], "x": 2})"))));
    EXPECT_FALSE(e2e::JsonContains(R"({"rows": [[1]]})", QJsonValue(object(R"({"rows": [[1, 2]]})"))));
}

TEST(ScenarioFiles, FolderListingIsSorted)
{
    e2e::TempDir dir;
    for (const char *name : {"b.scn", "a.scn", "notes.txt"})
        std::ofstream(dir.file(name)) << "calls\n";
    const std::vector<std::string> files = e2e::scenarioFiles(dir.path());
    EXPECT_EQ(files, (std::vector<std::string>{dir.file("a.scn"), dir.file("b.scn")}));
}

} // namespace

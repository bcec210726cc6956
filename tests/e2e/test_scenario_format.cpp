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

// A golden row keyed by field name, and the named "fields" and "columns" lists, against a dataset
// dump and a grid dump.
TEST(ScenarioAssertions, DumpGoldensByFieldName)
{
    const char *dataset = R"({"name": "cdsPlanReal", "fields": ["DTCARDAPIO", "CUSTO", "IDREAL"],
        "rows": [["2026-03-01", 100, "S"], ["2026-03-02", null, "N"]]})";
    // The same dataset with a calculated field added in the middle.
    const char *widened = R"({"name": "cdsPlanReal", "fields": ["DTCARDAPIO", "CUSTOPER", "CUSTO", "IDREAL"],
        "rows": [["2026-03-01", 10, 100, "S"], ["2026-03-02", 0, null, "N"]]})";
    const char *grid = R"({"name": "dbgPlanReal",
        "columns": [{"field": "DTCARDAPIO", "title": "Data"}, {"field": "CUSTO", "title": "Custo"}],
        "rows": [[{"text": "01/03/2026 - dom", "font": 255}, {"text": "100,00000", "font": 255}]]})";
    const char *duplicated = R"({"name": "dbgX", "columns": [{"field": "A"}, {"field": "A"}],
        "rows": [[{"text": "1"}, {"text": "2"}]]})";
    struct Case
    {
        const char *name;
        const char *expected;
        const char *actual;
        const char *why; // empty when it matches, else the start of the mismatch text
    };
    const Case cases[] = {
        {"keyed rows", R"({"rows": [{"CUSTO": 100, "IDREAL": "S"}, {"CUSTO": null}]})", dataset, ""},
        {"keyed rows survive an added field", R"({"rows": [{"CUSTO": 100, "IDREAL": "S"}, {"IDREAL": "N"}]})",
         widened, ""},
        {"a row that checks nothing", R"({"rows": [{"IDREAL": "S"}, {}]})", dataset, ""},
        {"keyed and positional rows together", R"({"rows": [{"IDREAL": "S"}, ["2026-03-02", null, "N"]]})",
         dataset, ""},
        {"positional rows need every field", R"({"rows": [["2026-03-01", 100, "S"], {}]})", widened,
         "$.rows[0]: expected 3 elements, got 4"},
        {"wrong value", R"({"rows": [{"CUSTO": 100}, {"IDREAL": "S"}]})", dataset,
         "$.rows[1].IDREAL: expected \"S\", got \"N\""},
        {"null is not a value", R"({"rows": [{"CUSTO": null}, {}]})", dataset, "$.rows[0].CUSTO: expected null"},
        {"missing row", R"({"rows": [{"CUSTO": 100}, {}, {}]})", dataset, "$.rows: expected 3 rows, got 2"},
        {"extra row", R"({"rows": [{"CUSTO": 100}]})", dataset, "$.rows: expected 1 rows, got 2"},
        {"unknown field", R"({"rows": [{"CUSTO": 100}, {"VRCUSTO": 1}]})", dataset,
         "$.rows[1]: no field \"VRCUSTO\" in cdsPlanReal (DTCARDAPIO, CUSTO, IDREAL)"},
        {"named fields in order", R"({"fields": ["DTCARDAPIO", "IDREAL"]})", widened, ""},
        {"named fields out of order", R"({"fields": ["IDREAL", "CUSTO"]})", dataset,
         "$.fields: \"CUSTO\" comes before \"IDREAL\""},
        {"a named field missing", R"({"fields": ["DTCARDAPIO", "QTCOMENSAIS"]})", dataset,
         "$.fields: no \"QTCOMENSAIS\""},
        {"other keys as before", R"({"name": "cdsPlanReal", "recno": 1})", dataset, "$.recno: missing"},
        {"keyed grid cells", R"({"rows": [{"CUSTO": {"text": "100,00000"}}]})", grid, ""},
        {"wrong cell", R"({"rows": [{"CUSTO": {"text": "100,0000", "font": 255}}]})", grid,
         "$.rows[0].CUSTO.text: expected \"100,0000\""},
        {"unknown column", R"({"rows": [{"Custo": {"font": 255}}]})", grid,
         "$.rows[0]: no field \"Custo\" in dbgPlanReal (DTCARDAPIO, CUSTO)"},
        {"named columns in order", R"({"columns": [{"field": "CUSTO", "title": "Custo"}]})", grid, ""},
        {"named column with a wrong title", R"({"columns": [{"field": "CUSTO", "title": "Data"}]})", grid,
         "$.columns[1].title: expected \"Data\""},
        {"positional columns", R"({"columns": [{}, {"title": "Custo"}]})", grid, ""},
        {"positional columns need every column", R"({"columns": [{"title": "Custo"}]})", grid,
         "$.columns: expected 1 elements, got 2"},
        {"a field on two columns", R"({"rows": [{"A": {"text": "1"}}]})", duplicated,
         "$.rows[0]: \"A\" names more than one column of dbgX"},
        {"keyed rows outside a dump", R"({"rows": [{"A": 1}]})", R"({"rows": [[1]]})", "$.rows[0]: expected {"},
    };
    for (const Case &c : cases) {
        std::string why;
        const bool matched = e2e::answerContains(QJsonValue(object(c.expected)), QJsonValue(object(c.actual)), &why);
        EXPECT_EQ(matched, *c.why == '\0') << c.name << ": " << why;
        if (*c.why) {
            EXPECT_EQ(why.rfind(c.why, 0), 0u) << c.name << ": " << why;
        }
    }
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

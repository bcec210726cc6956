#pragma once

// End-to-end helpers: a real cost-driver process fed line by line, demo databases made with the real
// demo-db, and scenario files.
//
// Scenario file (*.scn): one driver command a line. Lines starting with "=> " after a command hold a
// JSON subset the command's answer must contain ("contains" matching: objects by the keys given,
// arrays element-wise with the same length, numbers within 1e-9; see answerContains for dumps). A
// JSON text may run over several "=> " lines; each complete text is one expectation. Unless an
// expectation names "ok", the answer must also be {"ok": true}. Blank lines and lines starting with '#' are comments, except
// "#! ARGS..." lines, which add driver arguments ("#! --module-ativo 24"); in them ${SCENARIO_DIR}
// stands for the folder of the scenario file.

#include <QJsonObject>
#include <QJsonValue>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

// Folder of the built executables (COSTANALYSIS_BIN_DIR), and of the sources (COSTANALYSIS_SOURCE_DIR).
std::string binDir();
std::string sourceDir();

// A fresh temporary folder, removed with everything in it at destruction.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return m_path; }
    std::string file(const std::string &name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Runs a program to its end with a time limit; returns its exit status (-1 when it timed out and was
// killed). `output` receives standard output and error together.
int runProgram(const std::vector<std::string> &argv, std::string *output = nullptr,
               std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Creates the demo database FILE with bin/demo-db (extra options such as "--scale", "large").
// Fails the current test (and returns false) when demo-db fails.
bool createDemoDb(const std::string &file, const std::vector<std::string> &options = {});

// A running cost-driver. Every exchange has a time limit; a driver that does not answer in time is
// killed and the exchange fails.
class DriverProcess
{
public:
    // args: the driver's options (--db FILE ...).
    explicit DriverProcess(const std::vector<std::string> &args);
    ~DriverProcess(); // quits politely, then kills after a grace period
    DriverProcess(const DriverProcess &) = delete;
    DriverProcess &operator=(const DriverProcess &) = delete;

    bool running() const { return m_pid > 0; }
    // Sends one command line and reads its answer line. On a timeout, a dead driver or a line that is
    // not a JSON object, returns false with `error` set.
    bool send(const std::string &command, QJsonObject &answer, std::string &error,
              std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The same, as a test step: a failure is reported with ADD_FAILURE and the answer is empty.
    QJsonObject send(const std::string &command);
    // Closes standard input and waits for the exit; the exit status, -1 after a kill.
    int finish(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Everything the driver wrote on standard error so far.
    std::string errorOutput() const;

private:
    void kill();

    pid_t m_pid = -1;
    int m_in = -1;  // its standard input
    int m_out = -1; // its standard output
    std::string m_buffer;
    std::string m_stderrPath;
    int m_exitStatus = -1;
};

// --- Scenario files ---------------------------------------------------------------------------------

struct ScenarioStep
{
    int line = 0; // line of the command in the file
    std::string command;
    std::vector<QJsonValue> expectations; // each must be contained in the answer
};

struct Scenario
{
    std::string path;
    std::vector<std::string> driverArgs; // from "#!" lines
    std::vector<ScenarioStep> steps;
};

// Parses a scenario text; std::runtime_error with "path:line: reason" for a bad file (an expectation
// without a command, JSON that never completes).
Scenario parseScenario(const std::string &text, const std::string &path = "scenario");
Scenario loadScenario(const std::string &path);
// A test name for a scenario file: its stem, with every character that is not a letter or a digit as '_'.
std::string scenarioCaseName(const ::testing::TestParamInfo<std::string> &info);
// The *.scn files of a folder, sorted by name.
std::vector<std::string> scenarioFiles(const std::string &folder);

// Runs every step against a driver; returns one text per failed expectation ("file:line: command:
// why"), empty when the scenario passed. A step whose driver exchange fails ends the run.
std::vector<std::string> runScenario(const Scenario &scenario, DriverProcess &driver);

// --- Assertions ---------------------------------------------------------------------------------------

// The matching of every expectation against an answer: driver::jsonContains, and for the answer of a
// `dump` of a dataset or a grid (an object with "rows" and the dataset's "fields" or the grid's
// "columns") two rules by field name, so that a golden keeps passing when a field or a column is added:
//   - an expected row may be an object keyed by field name (a dataset's field, a grid column's
//     "field"), matched against the value or cell at that field's place; "rows" still needs as many
//     rows as the dump has, and a name the dump does not have fails, naming it;
//   - an expected "fields" or "columns" list whose every entry names its field (a string; an object
//     with "field") matches those entries in that order, passing over the dump's others.
// Positional rows and lists match as before. On a mismatch `why` gets the path and the difference.
bool answerContains(const QJsonValue &expected, const QJsonValue &actual, std::string *why = nullptr);

// The answer contains the expected JSON subset (given as JSON text or value).
::testing::AssertionResult JsonContains(const std::string &expectedJson, const QJsonValue &actual);
inline ::testing::AssertionResult JsonContains(const char *expectedJson, const QJsonValue &actual)
{
    return JsonContains(std::string(expectedJson), actual);
}
::testing::AssertionResult JsonContains(const QJsonValue &expected, const QJsonValue &actual);
// The answer is {"ok": true, ...}.
::testing::AssertionResult AnswerOk(const QJsonObject &answer);
// A `calls` answer lists a call of the method (optionally with these leading arguments, JSON array text).
::testing::AssertionResult CallsInclude(const QJsonObject &callsAnswer, const std::string &method,
                                        const std::string &argsJson = {});
// A `messages` answer is empty.
::testing::AssertionResult NoMessages(const QJsonObject &messagesAnswer);

} // namespace e2e

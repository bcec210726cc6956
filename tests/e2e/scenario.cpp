#include "tests/e2e/scenario.h"

#include "tools/driver/jsonvalue.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace e2e {

namespace {

using Clock = std::chrono::steady_clock;

std::string envOr(const char *name, const std::string &fallback)
{
    const char *value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : int(std::min<long long>(left, 1000000));
}

// Waits for a child with a deadline; kills it when the deadline passes. Returns the exit status, or
// -1 when it had to be killed or did not end normally.
int waitChild(pid_t pid, Clock::time_point deadline)
{
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (done < 0 && errno != EINTR)
            return -1;
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool writeAll(int fd, const std::string &data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

std::vector<char *> argvOf(std::vector<std::string> &args)
{
    std::vector<char *> out;
    for (std::string &a : args)
        out.push_back(a.data());
    out.push_back(nullptr);
    return out;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string shortened(const std::string &text, size_t max = 1500)
{
    return text.size() <= max ? text : text.substr(0, max) + "...";
}

} // namespace

std::string binDir()
{
    return envOr("COSTANALYSIS_BIN_DIR", ".");
}

std::string sourceDir()
{
    return envOr("COSTANALYSIS_SOURCE_DIR", ".");
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "costanalysis-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder: " + std::string(std::strerror(errno)));
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

int runProgram(const std::vector<std::string> &argv, std::string *output, std::chrono::milliseconds timeout)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    std::vector<std::string> args = argv;
    std::vector<char *> cargs = argvOf(args);
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return -1;
    }
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        const int devnull = open("/dev/null", O_RDONLY);
        if (devnull >= 0)
            dup2(devnull, STDIN_FILENO);
        execv(cargs[0], cargs.data());
        std::fprintf(stderr, "cannot run %s: %s\n", cargs[0], std::strerror(errno));
        _exit(127);
    }
    close(pipeFds[1]);
    const Clock::time_point deadline = Clock::now() + timeout;
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = poll(&p, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break; // timed out: waitChild kills it
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    close(pipeFds[0]);
    const int status = waitChild(pid, deadline);
    if (output)
        *output = text;
    return status;
}

bool createDemoDb(const std::string &file, const std::vector<std::string> &options)
{
    std::vector<std::string> argv = {binDir() + "/demo-db", file};
    argv.insert(argv.end(), options.begin(), options.end());
    std::string output;
    const int status = runProgram(argv, &output, std::chrono::seconds(120));
    if (status != 0) {
        ADD_FAILURE() << "demo-db " << file << " failed (" << status << "): " << output;
        return false;
    }
    return true;
}

DriverProcess::DriverProcess(const std::vector<std::string> &args)
{
    // A driver that dies must fail the exchange, not the test process.
    std::signal(SIGPIPE, SIG_IGN);

    std::string stderrPattern =
        (std::filesystem::temp_directory_path() / "cost-driver-stderr-XXXXXX").string();
    const int errFd = mkstemp(stderrPattern.data());
    if (errFd < 0)
        return;
    m_stderrPath = stderrPattern;

    int in[2], out[2];
    if (pipe(in) != 0) {
        close(errFd);
        return;
    }
    if (pipe(out) != 0) {
        close(in[0]);
        close(in[1]);
        close(errFd);
        return;
    }
    std::vector<std::string> argv = {binDir() + "/cost-driver"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char *> cargs = argvOf(argv);

    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(errFd, STDERR_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        close(errFd);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execv(cargs[0], cargs.data());
        std::fprintf(stderr, "cannot run %s: %s\n", cargs[0], std::strerror(errno));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(errFd);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        return;
    }
    m_pid = pid;
    m_in = in[1];
    m_out = out[0];
    fcntl(m_in, F_SETFD, FD_CLOEXEC);
    fcntl(m_out, F_SETFD, FD_CLOEXEC);
}

DriverProcess::~DriverProcess()
{
    finish(std::chrono::seconds(10));
    if (!m_stderrPath.empty())
        std::remove(m_stderrPath.c_str());
}

void DriverProcess::kill()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_exitStatus = -1;
    }
    if (m_in >= 0)
        close(m_in);
    if (m_out >= 0)
        close(m_out);
    m_in = m_out = -1;
}

int DriverProcess::finish(std::chrono::milliseconds timeout)
{
    if (m_in >= 0) {
        close(m_in);
        m_in = -1;
    }
    if (m_pid > 0) {
        m_exitStatus = waitChild(m_pid, Clock::now() + timeout);
        m_pid = -1;
    }
    if (m_out >= 0) {
        close(m_out);
        m_out = -1;
    }
    return m_exitStatus;
}

std::string DriverProcess::errorOutput() const
{
    return m_stderrPath.empty() ? std::string() : readFile(m_stderrPath);
}

bool DriverProcess::send(const std::string &command, QJsonObject &answer, std::string &error,
                         std::chrono::milliseconds timeout)
{
    answer = QJsonObject();
    if (m_pid <= 0 || m_in < 0) {
        error = "the driver is not running; standard error: " + shortened(errorOutput());
        return false;
    }
    if (!writeAll(m_in, command + "\n")) {
        error = "cannot write to the driver: " + std::string(std::strerror(errno))
                + "; standard error: " + shortened(errorOutput());
        kill();
        return false;
    }
    const Clock::time_point deadline = Clock::now() + timeout;
    size_t newline;
    while ((newline = m_buffer.find('\n')) == std::string::npos) {
        pollfd p{m_out, POLLIN, 0};
        const int ready = poll(&p, 1, msLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            error = "no answer within " + std::to_string(timeout.count())
                    + " ms; standard error: " + shortened(errorOutput());
            kill();
            return false;
        }
        char chunk[65536];
        const ssize_t n = read(m_out, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            finish(std::chrono::seconds(5));
            error = "the driver ended (status " + std::to_string(m_exitStatus)
                    + "); standard error: " + shortened(errorOutput());
            return false;
        }
        m_buffer.append(chunk, size_t(n));
    }
    const std::string line = m_buffer.substr(0, newline);
    m_buffer.erase(0, newline + 1);
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        error = "the answer is not a JSON object: " + shortened(line);
        return false;
    }
    answer = doc.object();
    return true;
}

QJsonObject DriverProcess::send(const std::string &command)
{
    QJsonObject answer;
    std::string error;
    if (!send(command, answer, error))
        ADD_FAILURE() << command << ": " << error;
    return answer;
}

// --- Matching answers -----------------------------------------------------------------------------

namespace {

bool mismatch(std::string *why, const std::string &text)
{
    if (why)
        *why = text;
    return false;
}

// The JSON path `inner` (from driver::jsonContains, starting with "$") placed under `path`.
std::string under(const std::string &path, const std::string &inner)
{
    return inner.rfind('$', 0) == 0 ? path + inner.substr(1) : path + ": " + inner;
}

// The field an entry of a "fields" (a string) or "columns" (an object's "field") list names; empty
// when it names none.
QString entryName(const QJsonValue &entry)
{
    if (entry.isString())
        return entry.toString();
    return entry.toObject().value("field").toString();
}

// The field of each place of a dump's rows: a dataset's "fields" or a grid's column fields. False for
// any other answer.
bool rowNames(const QJsonObject &answer, std::vector<QString> &names)
{
    if (!answer.value("rows").isArray())
        return false;
    const QJsonValue list = answer.contains("fields") ? answer.value("fields") : answer.value("columns");
    if (!list.isArray())
        return false;
    for (const QJsonValue &entry : list.toArray())
        names.push_back(entryName(entry));
    return true;
}

std::string namesText(const std::vector<QString> &names)
{
    std::string text;
    for (const QString &name : names)
        text += (text.empty() ? "" : ", ") + driver::fromQString(name);
    return text;
}

bool rowsContain(const QJsonArray &expected, const QJsonArray &actual, const std::vector<QString> &names,
                 const std::string &dumpName, std::string *why)
{
    if (expected.size() != actual.size())
        return mismatch(why, "$.rows: expected " + std::to_string(expected.size()) + " rows, got "
                                 + std::to_string(actual.size()));
    for (qsizetype r = 0; r < expected.size(); ++r) {
        const std::string path = "$.rows[" + std::to_string(r) + "]";
        std::string inner;
        if (!expected.at(r).isObject()) {
            if (!driver::jsonContains(expected.at(r), actual.at(r), {}, &inner))
                return mismatch(why, under(path, inner));
            continue;
        }
        const QJsonObject row = expected.at(r).toObject();
        const QJsonArray values = actual.at(r).toArray();
        for (auto it = row.begin(); it != row.end(); ++it) {
            const std::string field = driver::fromQString(it.key());
            const auto at = std::find(names.begin(), names.end(), it.key());
            if (at == names.end())
                return mismatch(why, path + ": no field \"" + field + "\" in " + dumpName + " (" + namesText(names) + ")");
            if (std::find(at + 1, names.end(), it.key()) != names.end())
                return mismatch(why, path + ": \"" + field + "\" names more than one column of " + dumpName
                                         + "; write this row by position");
            const qsizetype place = at - names.begin();
            if (!driver::jsonContains(it.value(), values.at(place), {}, &inner))
                return mismatch(why, under(path + "." + field, inner));
        }
    }
    return true;
}

// True when every entry of the list names its field.
bool namesEveryEntry(const QJsonArray &list)
{
    return !list.isEmpty()
           && std::all_of(list.begin(), list.end(), [](const QJsonValue &e) { return !entryName(e).isEmpty(); });
}

bool namedListContains(const QString &key, const QJsonArray &expected, const QJsonArray &actual, std::string *why)
{
    const std::string path = "$." + driver::fromQString(key);
    qsizetype next = 0;
    QString previous;
    for (const QJsonValue &entry : expected) {
        const QString name = entryName(entry);
        qsizetype at = next;
        while (at < actual.size() && entryName(actual.at(at)) != name)
            ++at;
        if (at == actual.size()) {
            bool earlier = false;
            for (qsizetype i = 0; i < next; ++i)
                earlier = earlier || entryName(actual.at(i)) == name;
            return mismatch(why, path + ": " + (earlier ? "\"" + driver::fromQString(name) + "\" comes before \""
                                                              + driver::fromQString(previous) + "\""
                                                        : "no \"" + driver::fromQString(name) + "\"")
                                     + " in " + driver::jsonText(actual));
        }
        std::string inner;
        if (!driver::jsonContains(entry, actual.at(at), {}, &inner))
            return mismatch(why, under(path + "[" + std::to_string(at) + "]", inner));
        previous = name;
        next = at + 1;
    }
    return true;
}

} // namespace

bool answerContains(const QJsonValue &expected, const QJsonValue &actual, std::string *why)
{
    std::vector<QString> names;
    if (!expected.isObject() || !actual.isObject() || !rowNames(actual.toObject(), names))
        return driver::jsonContains(expected, actual, {}, why);
    const QJsonObject wanted = expected.toObject(), dump = actual.toObject();
    const std::string dumpName =
        dump.value("name").isString() ? driver::fromQString(dump.value("name").toString()) : std::string("the dump");
    QJsonObject rest; // the keys matched as any other answer
    for (auto it = wanted.begin(); it != wanted.end(); ++it) {
        const QJsonValue actualValue = dump.value(it.key());
        if (it.key() == "rows" && it.value().isArray()) {
            if (!rowsContain(it.value().toArray(), actualValue.toArray(), names, dumpName, why))
                return false;
        } else if ((it.key() == "fields" || it.key() == "columns") && it.value().isArray() && actualValue.isArray()
                   && namesEveryEntry(it.value().toArray())) {
            if (!namedListContains(it.key(), it.value().toArray(), actualValue.toArray(), why))
                return false;
        } else {
            rest.insert(it.key(), it.value());
        }
    }
    return driver::jsonContains(rest, dump, {}, why);
}

// --- Scenario files ---------------------------------------------------------------------------------

Scenario parseScenario(const std::string &text, const std::string &path)
{
    Scenario scenario;
    scenario.path = path;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    std::string pending; // an expectation's JSON text not yet complete
    int pendingLine = 0;
    const auto fail = [&](int at, const std::string &why) {
        throw std::runtime_error(path + ":" + std::to_string(at) + ": " + why);
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const bool isExpectation = line.rfind("=>", 0) == 0;
        if (!isExpectation && !pending.empty())
            fail(pendingLine, "the expected JSON does not end: " + pending);
        if (isExpectation) {
            if (scenario.steps.empty())
                fail(number, "an expectation without a command before it");
            if (pending.empty())
                pendingLine = number;
            // "=> " with its blank, or a bare "=>".
            pending += line.substr(line.size() > 2 && line[2] == ' ' ? 3 : 2) + "\n";
            QJsonValue value;
            if (driver::parseJson(pending, value)) {
                scenario.steps.back().expectations.push_back(value);
                pending.clear();
            }
            continue;
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        if (line.compare(first, 2, "#!") == 0) {
            std::istringstream words(line.substr(first + 2));
            std::string word;
            while (words >> word) {
                const std::string placeholder = "${SCENARIO_DIR}";
                for (size_t at; (at = word.find(placeholder)) != std::string::npos;)
                    word.replace(at, placeholder.size(), folder.empty() ? "." : folder);
                scenario.driverArgs.push_back(word);
            }
            continue;
        }
        if (line[first] == '#')
            continue;
        ScenarioStep step;
        step.line = number;
        step.command = line.substr(first);
        scenario.steps.push_back(std::move(step));
    }
    if (!pending.empty())
        fail(pendingLine, "the expected JSON does not end: " + pending);
    return scenario;
}

Scenario loadScenario(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return parseScenario(text.str(), path);
}

std::vector<std::string> scenarioFiles(const std::string &folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file() && entry.path().extension() == ".scn")
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> runScenario(const Scenario &scenario, DriverProcess &driver)
{
    std::vector<std::string> failures;
    for (const ScenarioStep &step : scenario.steps) {
        const std::string where =
            scenario.path + ":" + std::to_string(step.line) + ": " + step.command + ": ";
        QJsonObject answer;
        std::string error;
        if (!driver.send(step.command, answer, error)) {
            failures.push_back(where + error);
            return failures;
        }
        const bool namesOk =
            std::any_of(step.expectations.begin(), step.expectations.end(),
                        [](const QJsonValue &e) { return e.isObject() && e.toObject().contains("ok"); });
        if (!namesOk && answer.value("ok") != QJsonValue(true))
            failures.push_back(where + "failed: " + shortened(driver::jsonText(answer)));
        for (const QJsonValue &expected : step.expectations) {
            std::string why;
            if (!answerContains(expected, answer, &why))
                failures.push_back(where + why + "\n    answer: " + shortened(driver::jsonText(answer)));
        }
    }
    return failures;
}

// --- Assertions ---------------------------------------------------------------------------------------

::testing::AssertionResult JsonContains(const QJsonValue &expected, const QJsonValue &actual)
{
    std::string why;
    if (answerContains(expected, actual, &why))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << why << "\n    actual: " << shortened(driver::jsonText(actual));
}

::testing::AssertionResult JsonContains(const std::string &expectedJson, const QJsonValue &actual)
{
    QJsonValue expected;
    std::string error;
    if (!driver::parseJson(expectedJson, expected, &error))
        return ::testing::AssertionFailure() << "bad expected JSON " << expectedJson << ": " << error;
    return JsonContains(expected, actual);
}

::testing::AssertionResult AnswerOk(const QJsonObject &answer)
{
    if (answer.value("ok") == QJsonValue(true))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "answer not ok: " << shortened(driver::jsonText(answer));
}

::testing::AssertionResult CallsInclude(const QJsonObject &callsAnswer, const std::string &method,
                                        const std::string &argsJson)
{
    QJsonValue args;
    if (!argsJson.empty()) {
        std::string error;
        if (!driver::parseJson(argsJson, args, &error) || !args.isArray())
            return ::testing::AssertionFailure() << "bad argument list " << argsJson << ": " << error;
    }
    driver::MatchOptions wildcard;
    wildcard.nullMatchesAnything = true;
    for (const QJsonValue &call : callsAnswer.value("calls").toArray()) {
        const QJsonObject c = call.toObject();
        if (c.value("method").toString() != driver::toQString(method))
            continue;
        if (args.isUndefined())
            return ::testing::AssertionSuccess();
        const QJsonArray given = args.toArray(), actual = c.value("args").toArray();
        bool matches = given.size() <= actual.size();
        for (qsizetype i = 0; matches && i < given.size(); ++i)
            matches = driver::jsonContains(given.at(i), actual.at(i), wildcard);
        if (matches)
            return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "no call of " << method << (argsJson.empty() ? "" : " with " + argsJson) << " in "
           << shortened(driver::jsonText(callsAnswer.value("calls")));
}

::testing::AssertionResult NoMessages(const QJsonObject &messagesAnswer)
{
    const QJsonValue messages = messagesAnswer.value("messages");
    if (messages.isArray() && messages.toArray().isEmpty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "messages shown: " << shortened(driver::jsonText(messages));
}

std::string scenarioCaseName(const ::testing::TestParamInfo<std::string> &info)
{
    std::string name = std::filesystem::path(info.param).stem().string();
    for (char &c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

} // namespace e2e

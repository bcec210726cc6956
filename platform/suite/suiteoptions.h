#pragma once

// The suite's start-up options: settings from suite.ini, overridden by the command line, and an
// optional module to open straight away (--open CODE ARGS...).

#include "platform/hostlib/settings.h"
#include "platform/toolkit/data/variant.h"

#include <QStringList>

#include <optional>
#include <string>

namespace suite {

// The environment variable that may hold the password of --user / [Server] User.
inline constexpr const char *kPasswordVariable = "CUSTOS_SENHA";

struct OpenRequest
{
    std::string code;  // module code, upper case
    tk::Variant args;  // the module's entry array
};

struct SuiteOptions
{
    host::Settings settings;
    std::string iniPath;             // the INI file read, empty when none
    std::optional<OpenRequest> open;
    bool batch = false;              // --batch: errors and messages go to standard error, no dialogs
    bool help = false;               // --help: print UsageText() and end
};

// A bad option, value or INI file; the text is meant for the user.
class EOptionError : public tk::Exception
{
public:
    using tk::Exception::Exception;
};

// Reads the INI file into settings: [Database] Path (relative to the INI's folder), [Server]
// Host and Port, or Address (HOST:PORT[,HOST:PORT...], which wins), User (the sign-in to a server
// with passwords) and TlsCa (the authorities of a server on TLS, relative to the INI's folder), [Operator] Name, [Host] ModuloAtiv, Locale and ModulesDir, [Custos] Indicadores (0 or 1: confidence and variance split) and
// LimiteConfianca (percent, default 5). Keys that are absent
// keep their value; a Port or ModuloAtiv that is not a number is an EOptionError.
void ReadIniFile(const std::string &path, host::Settings &settings);

// The user's own suite.ini, where Qt keeps an application's configuration on this system
// (~/.config/suite/suite.ini on Linux); the suite also writes what it remembers there.
std::string UserIniPath();

// What `suite --help` prints: usage, every option and an example.
std::string UsageText();

// Parses arguments (argv[0] first), before any QApplication exists:
//   --help, -h            print the usage and end
//   --config FILE         INI file (default: suite.ini in the current folder, else the user's
//                         UserIniPath(), else beside the executable; a missing default is no error,
//                         a missing --config is)
//   --db FILE             suite database
//   --server HOST:PORT[,HOST:PORT...]  application servers over the same database
//   --operator NAME       operator name
//   --module-ativo N      active host module code
//   --locale NAME         pt_BR or en_US
//   --modules-dir DIR     folder of the module libraries
//   --batch               no dialogs: errors and MensErro texts go to standard error (scripts, CI)
//   --open CODE ARGS...   open a module at once; for KPV40206 the arguments are
//                         FILIAL SERVFILI TIPOCUSTO TIPOCUSTOREAL YYYY-MM-DD YYYY-MM-DD 0|1 [FILICUST];
//                         for other codes they go to the module as texts.
// EOptionError for anything it cannot accept.
SuiteOptions ParseOptions(const QStringList &arguments, const std::string &executableDir);

// The entry array of the cost analysis from its command-line texts (8, or 7 without a cost
// branch). EOptionError naming the bad argument.
tk::Variant CostAnalysisArgs(const QStringList &values);

// "HOST:PORT" ("[IPV6]:PORT") into its parts; EOptionError when the port is not 1..65535 or the host
// is empty.
void ParseServerAddress(const std::string &text, std::string &host, int &port);
// "HOST:PORT[,HOST:PORT...]": the first server into serverHost/serverPort, the others into
// alternateServers (tried in turn when one cannot be reached). EOptionError for a bad entry.
void ParseServerList(const std::string &text, host::Settings &settings);

} // namespace suite

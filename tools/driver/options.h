#pragma once

// The driver's command line:
//   cost-driver --db FILE [--server HOST:PORT[,HOST:PORT...] | --replay FILE] [--record FILE]
//               [--module-ativo N] [--operator NAME] [--locale NAME]

#include "platform/protocol/netconnection.h"

#include <string>
#include <vector>

namespace driver {

struct DriverOptions
{
    std::string dbPath;
    // The server to talk to. Neither: a real application server started in-process over dbPath.
    std::string serverHost;
    int serverPort = 0;
    std::vector<tk::ServerAddress> alternateServers; // further servers of --server, in order
    std::string replayPath;
    std::string recordPath;
    int moduloAtiv = 0;
    std::string operatorName = "driver";
    std::string serverUser;     // --user; the password from CUSTOS_SENHA
    std::string serverPassword;
    std::string tlsCaFile;      // --tls-ca
    std::string locale = "pt_BR";
    bool indicadores = false;     // --indicadores: confidence column (flagged above the limit), variance split
    double limiteConfianca = 5.0;
    bool help = false;

    bool externalServer() const { return !serverHost.empty(); }
    bool replay() const { return !replayPath.empty(); }
};

const char *driverUsage();
// What --help prints: the usage, every option, the commands and an example.
std::string driverHelp();

// Parses the arguments after the program name. False with `error` for a bad command line.
bool parseDriverOptions(const std::vector<std::string> &args, DriverOptions &out, std::string &error);

// "HOST:PORT" ("[IPV6]:PORT") with a port from 1 to 65535.
bool parseHostPort(const std::string &text, std::string &host, int &port);

// Fails with a message when the recording cannot be written to path (a missing folder, no right to
// write): checked at start, so that a session is never run for a recording that is then lost.
bool checkRecordPath(const std::string &path, std::string &error);

} // namespace driver

#pragma once

// The host's settings (database, server address, operator, active module, locale, module folder)
// and the suite database connection shared by every local query.

#include "platform/protocol/netconnection.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace db {
class Connection;
}

namespace host {

struct Settings
{
    std::string dbPath;                  // suite database file or PostgreSQL URI; empty: none
    std::string serverHost = "127.0.0.1";
    int serverPort = 8211;
    // Further application servers over the same database, tried after serverHost:serverPort.
    std::vector<tk::ServerAddress> alternateServers;
    // The sign-in to servers that ask for one (empty user: none) and the certificate authorities of
    // servers on TLS (empty: plain TCP); see TNetConnection::User and TlsCaFile.
    std::string serverUser;
    std::string serverPassword;
    std::string tlsCaFile;
    std::string operatorName;
    int moduloAtiv = 0;                  // active host module code (24: diets, 81: no warning colours)
    std::string locale = "pt_BR";
    std::string modulesDir;              // empty: the folder of the running executable
    // What the cost analysis's figures rest on, beside the specified ones: the confidence column
    // and figures (one more call on opening the window) and the variance split of the comparison
    // page; and the share of a day's raw material on bad prices above which the day is flagged.
    bool indicadoresCusto = false;
    double limiteConfianca = 5.0;
};

// Replaces the settings. A different dbPath closes the shared connection; the next use reopens it.
// The locale is not applied here (tk::SetLocale is the caller's choice, once at start).
void SetSettings(const Settings &settings);
const Settings &GetSettings();

// The suite database connection shared by the host and every module, opened on first use from
// Settings::dbPath. EHostError when no database is configured; db::SqlError when it cannot be opened.
// The connection belongs to the host and lives until CloseSharedDatabase() or a new dbPath.
db::Connection &SharedDatabase();
void CloseSharedDatabase();
// Opens the shared database now and checks that it holds the suite schema: a program started on a
// database it cannot use says so at once (db::SqlError naming the database, never its password).
void CheckSharedDatabase();

// Gives a connection the alternate servers, the sign-in and the TLS authorities of the settings
// (WebURL:WebPort stays the first, set by the connection's BeforeConnect) and reports every server it connects to (see AnsweringServer).
void AttachServerList(tk::TNetConnection &connection);

// The server that the last connection attached with AttachServerList opened to ("host:port"),
// empty before the first; the listener (the suite's status bar) hears of every such connection.
// User-interface thread only.
const std::string &AnsweringServer();
void SetAnsweringServerListener(std::function<void(const std::string &server)> listener);

// The folder LoadBPL looks in: Settings::modulesDir, or the folder of the running executable.
std::string ModulesDir();

} // namespace host

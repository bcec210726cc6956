#include "platform/hostlib/settings.h"

#include "platform/database/sqldb.h"
#include "platform/hostlib/errors.h"

#include <filesystem>
#include <system_error>

namespace host {

namespace {

Settings &settingsStore()
{
    static Settings settings;
    return settings;
}

std::unique_ptr<db::Connection> &sharedConnection()
{
    static std::unique_ptr<db::Connection> connection;
    return connection;
}

struct Answering
{
    std::string server;
    std::function<void(const std::string &)> listener;
};

Answering &answering()
{
    static Answering state;
    return state;
}

} // namespace

void AttachServerList(tk::TNetConnection &connection)
{
    const Settings &settings = settingsStore();
    connection.Alternates = settings.alternateServers;
    connection.User = settings.serverUser;
    connection.Password = settings.serverPassword;
    connection.TlsCaFile = settings.tlsCaFile;
    connection.AfterConnect = [](tk::TNetConnection &c) {
        Answering &state = answering();
        state.server = c.ConnectedTo();
        if (state.listener)
            state.listener(state.server);
    };
}

const std::string &AnsweringServer()
{
    return answering().server;
}

void SetAnsweringServerListener(std::function<void(const std::string &server)> listener)
{
    answering().listener = std::move(listener);
}

void SetSettings(const Settings &settings)
{
    if (settings.dbPath != settingsStore().dbPath)
        CloseSharedDatabase();
    settingsStore() = settings;
}

const Settings &GetSettings()
{
    return settingsStore();
}

db::Connection &SharedDatabase()
{
    auto &connection = sharedConnection();
    if (!connection) {
        const std::string &path = settingsStore().dbPath;
        if (path.empty())
            throw EHostError("Banco de dados da suíte não configurado");
        // An existing file only: a mistyped path must never yield an empty database.
        connection = db::Connection::open(path, db::OpenMode::ExistingOnly);
    }
    return *connection;
}

void CloseSharedDatabase()
{
    sharedConnection().reset();
}

void CheckSharedDatabase()
{
    db::Connection &connection = SharedDatabase();
    if (!db::hasSchema(connection))
        throw db::SqlError("Database '" + db::Connection::displayName(settingsStore().dbPath)
                           + "' holds no suite schema");
}

std::string ModulesDir()
{
    const std::string &configured = settingsStore().modulesDir;
    if (!configured.empty())
        return configured;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return ".";
    return exe.parent_path().string();
}

} // namespace host

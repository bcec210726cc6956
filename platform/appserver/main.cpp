// appserver --db DATABASE [--listen HOST:PORT] [--passwords FILE] [--tls-cert FILE --tls-key FILE]
//           [--workset-max-age SECONDS]
//           [--workset-lease SECONDS] [--workset-cap N] [--max-connections N]
//           [--idle-timeout SECONDS] [--handshake-timeout SECONDS]
// appserver passwd FILE USER | FILE --delete USER | FILE --list
// Serves the cost-analysis methods over the wire protocol. Prints "listening on HOST:PORT" when ready,
// logs every call on standard error (with the detail of each failure under its reference), and stops
// cleanly on SIGTERM or SIGINT.

#include "platform/appserver/cleanup.h"
#include "platform/appserver/costmethods.h"
#include "platform/appserver/passwords.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/protocol/tls.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace {

wire::RpcServer *g_server = nullptr; // Not owned.

void onSignal(int)
{
    if (g_server)
        g_server->requestStop();
}

const char *const kUsage =
    "usage: appserver --db DATABASE [--listen HOST:PORT] [--passwords FILE]\n"
    "                 [--tls-cert FILE --tls-key FILE] [--workset-max-age SECONDS]\n"
    "                 [--workset-lease SECONDS] [--workset-cap N]\n"
    "                 [--max-connections N] [--idle-timeout SECONDS] [--handshake-timeout SECONDS]\n"
    "       appserver passwd FILE USER | passwd FILE --delete USER | passwd FILE --list\n";

int usage(const std::string &error)
{
    std::fprintf(stderr, "appserver: %s\n%s", error.c_str(), kUsage);
    return 2;
}

int help()
{
    std::printf("%s"
                "Serves the cost-analysis methods over the wire protocol.\n"
                "  --db DATABASE             the suite database: a SQLite file, or PostgreSQL as\n"
                "                            postgresql://USER@HOST:PORT/DBNAME or \"host=... dbname=...\"\n"
                "  --listen HOST:PORT        address to listen on (default 127.0.0.1:8211; port 0: any free)\n"
                "  --listen [::1]:PORT       IPv6 addresses are written in brackets; an address other than\n"
                "                            loopback (127.0.0.0/8, ::1, localhost) needs --passwords and TLS\n"
                "  --passwords FILE          operators must sign in with a user and password of FILE; a wrong\n"
                "                            one is refused after a second and logged with the user and peer\n"                "  --tls-cert FILE           the server's TLS certificate chain (PEM); with --tls-key every\n"
                "                            connection is encrypted, and clients check it with --tls-ca\n"
                "  --tls-key FILE            the certificate's private key (PEM)\n"
                "  --workset-max-age SECONDS work sets older than this are removed (default 43200, 60 to 2592000)\n"
                "  --workset-lease SECONDS   work sets their session has not used for this long are removed\n"
                "                            (default 600, 10 to 86400); every call of a session renews them\n"
                "  --workset-cap N           live work sets per session; a new one beyond it replaces the\n"
                "                            oldest (default 16, 1 to 1000)\n"
                "  --max-connections N       connections served at once (default 64, 1 to 4096)\n"
                "  --idle-timeout SECONDS    closes a connection idle between calls (default 30)\n"
                "  --handshake-timeout SECONDS  a new connection must say hello within it (default 5)\n"
                "  --help                    this text\n"
                "appserver passwd FILE USER  adds USER to the password file FILE or changes their password\n"
                "                            (read from standard input; asked twice on a terminal)\n"
                "appserver passwd FILE --delete USER, appserver passwd FILE --list\n"
                "Example: appserver --db postgresql://custos@db1:5432/suite --listen 0.0.0.0:8211\n"
                "         --passwords /etc/custos/senhas --tls-cert app1.pem --tls-key app1.key\n",
                kUsage);
    return 0;
}

// A whole number from min to max; nothing for anything else.
std::optional<long long> number(const char *text, long long min, long long max)
{
    if (!text || !*text)
        return std::nullopt;
    char *end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "passwd") == 0)
        return appsrv::passwdCommand(argc - 2, argv + 2);
    std::string dbPath;
    std::string passwordPath;
    std::string tlsCert, tlsKey;
    tk::ServerAddress listen{"127.0.0.1", 8211};
    long long maxAge = 12 * 3600;
    appsrv::CostServiceOptions serviceOptions;
    wire::RpcServer::Options options;
    // Numeric options: name, bounds, and where the value goes.
    struct Numeric
    {
        const char *name;
        long long min, max;
        std::function<void(long long)> set;
    };
    const Numeric numerics[] = {
        {"--workset-max-age", 60, 30LL * 86400, [&](long long v) { maxAge = v; }},
        {"--workset-lease", 10, 86400, [&](long long v) { serviceOptions.workSetLeaseSeconds = v; }},
        {"--workset-cap", 1, 1000, [&](long long v) { serviceOptions.workSetCap = v; }},
        {"--max-connections", 1, 4096, [&](long long v) { options.maxConnections = static_cast<int>(v); }},
        {"--idle-timeout", 1, 86400, [&](long long v) { options.idleTimeoutMs = static_cast<int>(v * 1000); }},
        {"--handshake-timeout", 1, 600, [&](long long v) { options.handshakeTimeoutMs = static_cast<int>(v * 1000); }},
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        const Numeric *numeric = nullptr;
        for (const Numeric &n : numerics)
            if (arg == n.name)
                numeric = &n;
        if (numeric) {
            const auto v = number(value(), numeric->min, numeric->max);
            if (!v)
                return usage((arg + " needs a whole number from " + std::to_string(numeric->min) + " to "
                              + std::to_string(numeric->max))
                                 .c_str());
            numeric->set(*v);
        } else if (arg == "--db") {
            const char *v = value();
            if (!v || !*v)
                return usage("--db needs a database");
            dbPath = v;
        } else if (arg == "--passwords") {
            const char *v = value();
            if (!v || !*v)
                return usage("--passwords needs a password file (see appserver passwd)");
            passwordPath = v;
        } else if (arg == "--tls-cert" || arg == "--tls-key") {
            const char *v = value();
            if (!v || !*v)
                return usage(arg + " needs a PEM file");
            (arg == "--tls-cert" ? tlsCert : tlsKey) = v;
        } else if (arg == "--listen") {
            const char *v = value();
            std::string error;
            const auto address = v ? tk::ParseServerAddress(v, error, true) : std::nullopt;
            if (!address)
                return usage(("--listen needs HOST:PORT or [IPV6]:PORT" + (v ? ": " + error : "")).c_str());
            listen = *address;
        } else if (arg == "--help" || arg == "-h") {
            return help();
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (dbPath.empty())
        return usage("--db is required");
    if (tlsCert.empty() != tlsKey.empty())
        return usage("--tls-cert and --tls-key go together");
    if (const std::string refusal = appsrv::listenRefusal(listen, !passwordPath.empty(), !tlsCert.empty());
        !refusal.empty()) {
        std::fprintf(stderr, "appserver: %s\n", refusal.c_str());
        return 2;
    }
    // Files the operator named that cannot be used stop the start, as a database does.
    std::shared_ptr<const appsrv::PasswordFile> passwords;
    try {
        if (!tlsCert.empty())
            options.tls = wire::TlsContext::server(tlsCert, tlsKey);
        if (!passwordPath.empty()) {
            passwords = std::make_shared<const appsrv::PasswordFile>(appsrv::PasswordFile::load(passwordPath));
            if (passwords->users().empty())
                throw tk::Exception("the password file " + passwordPath + " has no users (see appserver passwd)");
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "appserver: %s\n", e.what());
        return 2;
    }

    std::mutex logMutex;
    auto log = [&logMutex](const std::string &line) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cerr << line << std::endl;
    };

    try {
        options.host = listen.host;
        options.port = static_cast<uint16_t>(listen.port);
        options.log = log;
        if (passwords)
            options.checkCredentials = [passwords](const wire::Credentials &c) { return passwords->check(c); };
        wire::RpcServer server(options);
        serviceOptions.workSetMaxAgeSeconds = maxAge;
        serviceOptions.log = log;
        auto service = appsrv::registerCostMethods(server, dbPath, serviceOptions);
        // Stale sets are looked for a few times per lease, at most once a minute.
        const long long intervalSeconds =
            std::max(1LL, std::min({60LL, maxAge / 4, static_cast<long long>(serviceOptions.workSetLeaseSeconds) / 4}));
        appsrv::WorkSetCleaner cleaner(service, std::chrono::seconds(intervalSeconds), log);

        g_server = &server;
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGPIPE, SIG_IGN);
        const uint16_t bound = server.start();
        std::printf("listening on %s\n", tk::ServerAddress{listen.host, bound}.text().c_str());
        std::fflush(stdout);
        server.wait();
        g_server = nullptr;
        log("appserver stopped");
    } catch (const db::SqlError &e) {
        std::fprintf(stderr, "appserver: %s\n", e.what()); // the database cannot be used
        return 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "appserver: %s\n", e.what());
        return 1;
    }
    return 0;
}

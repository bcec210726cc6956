// appserver --db DATABASE [--listen HOST:PORT] [--workset-max-age SECONDS]
// Serves the cost-analysis methods over the wire protocol. Prints "listening on HOST:PORT" when ready,
// logs every call on standard error, and stops cleanly on SIGTERM or SIGINT.

#include "platform/appserver/costmethods.h"
#include "platform/protocol/rpcserver.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>

namespace {

wire::RpcServer *g_server = nullptr; // Not owned.

void onSignal(int)
{
    if (g_server)
        g_server->requestStop();
}

const char *const kUsage =
    "usage: appserver --db DATABASE [--listen HOST:PORT] [--workset-max-age SECONDS]\n";

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
                "  --workset-max-age SECONDS work sets older than this are removed (default 43200, 1 to 31536000)\n"
                "  --help                    this text\n"
                "Example: appserver --db postgresql://custos@db1:5432/suite --listen 0.0.0.0:8211\n",
                kUsage);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string dbPath;
    std::string host = "127.0.0.1";
    long port = 8211;
    long long maxAge = 12 * 3600;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char * { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--db") {
            const char *v = value();
            if (!v || !*v)
                return usage("--db needs a database");
            dbPath = v;
        } else if (arg == "--listen") {
            const char *v = value();
            if (!v)
                return usage("--listen needs HOST:PORT");
            const std::string listen = v;
            const auto colon = listen.rfind(':');
            if (colon == std::string::npos || colon == 0)
                return usage("--listen needs HOST:PORT");
            host = listen.substr(0, colon);
            char *end = nullptr;
            port = std::strtol(listen.c_str() + colon + 1, &end, 10);
            if (!end || *end || port < 0 || port > 65535 || colon + 1 == listen.size())
                return usage("invalid port in --listen");
        } else if (arg == "--workset-max-age") {
            const char *v = value();
            char *end = nullptr;
            maxAge = v ? std::strtoll(v, &end, 10) : -1;
            if (!v || !end || *end || maxAge <= 0 || maxAge > 31536000)
                return usage("--workset-max-age needs a number of seconds from 1 to 31536000");
        } else if (arg == "--help" || arg == "-h") {
            return help();
        } else {
            return usage("unknown option " + arg);
        }
    }
    if (dbPath.empty())
        return usage("--db is required");

    std::mutex logMutex;
    auto log = [&logMutex](const std::string &line) {
        std::lock_guard<std::mutex> lock(logMutex);
        std::cerr << line << std::endl;
    };

    try {
        wire::RpcServer::Options options;
        options.host = host;
        options.port = static_cast<uint16_t>(port);
        options.log = log;
        wire::RpcServer server(options);
        appsrv::CostServiceOptions serviceOptions;
        serviceOptions.workSetMaxAgeSeconds = maxAge;
        auto service = appsrv::registerCostMethods(server, dbPath, serviceOptions);
        // Stale sets are looked for a few times per age, at most once a minute.
        const long long intervalSeconds = std::max(1LL, std::min(60LL, maxAge / 4));
        appsrv::WorkSetCleaner cleaner(service, std::chrono::seconds(intervalSeconds), log);

        g_server = &server;
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGPIPE, SIG_IGN);
        const uint16_t bound = server.start();
        std::printf("listening on %s:%u\n", host.c_str(), static_cast<unsigned>(bound));
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

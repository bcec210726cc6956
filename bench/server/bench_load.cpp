// bench-server-load [--db URI] [--clients N] [--days N] [--servers 1|2|both]
// Many users at once against one and against two application servers over one database: each
// client makes the calls of N day changes on the raw-material and consumption pages (GetProduto,
// GetCardapio, GetConsServ for one day each), over its own loopback connection. Reports errors,
// throughput and the p50/p99 latency of the calls for each run, and the throughput ratio of two
// servers to one. Without --db it generates the large demo kitchen in a temporary SQLite file; with
// --db it uses that database as it is (any URI the server accepts), reading its month from FILIAL.

#include "platform/appserver/costmethods.h"
#include "platform/database/demodata.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct RunResult
{
    int servers = 0;
    size_t calls = 0;
    size_t errors = 0;
    std::string firstError;
    double seconds = 0;
    double p50Ms = 0, p99Ms = 0;
    double callsPerSecond() const { return seconds > 0 ? static_cast<double>(calls) / seconds : 0; }
};

double percentile(std::vector<double> &values, double p)
{
    if (values.empty())
        return 0;
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index), values.end());
    return values[index];
}

RunResult run(const std::string &uri, int serverCount, int clients, int days, tk::TDateTime month)
{
    std::vector<std::unique_ptr<wire::RpcServer>> servers;
    std::vector<std::shared_ptr<appsrv::CostService>> services;
    std::vector<tk::ServerAddress> addresses;
    for (int s = 0; s < serverCount; ++s) {
        wire::RpcServer::Options options;
        options.maxConnections = clients + 8;
        servers.push_back(std::make_unique<wire::RpcServer>(options));
        appsrv::CostServiceOptions serviceOptions;
        serviceOptions.maxIdleConnections = static_cast<size_t>(clients);
        services.push_back(appsrv::registerCostMethods(*servers.back(), uri, serviceOptions));
        addresses.push_back({"127.0.0.1", servers.back()->start()});
    }

    const int daysInMonth = static_cast<int>(tk::EndOfTheMonth(month) - month) + 1;
    std::vector<std::vector<double>> latencies(static_cast<size_t>(clients));
    std::atomic<size_t> errors{0};
    std::string firstError;
    std::mutex errorMutex;
    const auto started = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            tk::TNetConnection net;
            const tk::ServerAddress &mine = addresses[static_cast<size_t>(c) % addresses.size()];
            net.Host = mine.host;
            net.Port = mine.port;
            for (const tk::ServerAddress &other : addresses)
                if (!(other == mine))
                    net.Alternates.push_back(other);
            net.TimeoutMs = 60000;
            auto &mineLatencies = latencies[static_cast<size_t>(c)];
            for (int d = 0; d < days; ++d) {
                const tk::Variant day = tk::Variant::fromDateTime(month + ((c + d) % daysInMonth));
                const tk::Variant first = tk::Variant::fromDateTime(month);
                const std::string dayType = std::to_string(tk::DayOfWeek(day.asDateTime()));
                const std::pair<const char *, tk::VariantArray> calls[] = {
                    {"GetProduto", {"0001", "001", day, 44, false, day, first, "0002"}},
                    {"GetCardapio", {"0001", "001", first}},
                    {"GetConsServ", {"0001", "001", day, 44, dayType, day, "0002"}},
                };
                for (const auto &[method, args] : calls) {
                    const auto before = Clock::now();
                    try {
                        net.Call(method, args);
                    } catch (const std::exception &e) {
                        if (errors++ == 0) {
                            std::lock_guard lock(errorMutex);
                            firstError = e.what();
                        }
                    }
                    mineLatencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - before).count());
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    RunResult result;
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    std::vector<double> all;
    for (auto &l : latencies)
        all.insert(all.end(), l.begin(), l.end());
    result.servers = serverCount;
    result.calls = all.size();
    result.errors = errors;
    result.firstError = firstError;
    result.p50Ms = percentile(all, 0.50);
    result.p99Ms = percentile(all, 0.99);
    for (auto &server : servers)
        server->stop();
    return result;
}

int usage(const std::string &error)
{
    std::fprintf(stderr, "bench-server-load: %s\nusage: bench-server-load [--db URI] [--clients 1..256] "
                         "[--days 1..1000] [--servers 1|2|both]\n", error.c_str());
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    std::string uri;
    int clients = 32, days = 50;
    std::string which = "both";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!value)
            return usage(arg + " needs a value");
        ++i;
        if (arg == "--db") {
            uri = value;
        } else if (arg == "--clients" || arg == "--days") {
            char *end = nullptr;
            const long n = std::strtol(value, &end, 10);
            const long max = arg == "--clients" ? 256 : 1000;
            if (*end || n < 1 || n > max)
                return usage(arg + " takes a number from 1 to " + std::to_string(max));
            (arg == "--clients" ? clients : days) = static_cast<int>(n);
        } else if (arg == "--servers") {
            which = value;
            if (which != "1" && which != "2" && which != "both")
                return usage("--servers takes 1, 2 or both");
        } else {
            return usage("unknown option " + arg);
        }
    }

    std::string generated;
    try {
        if (uri.empty()) {
            generated = (std::filesystem::temp_directory_path() / ("bench_load_" + std::to_string(::getpid()) + ".db"))
                            .string();
            auto c = db::Connection::open(generated);
            db::createSchema(*c);
            db::DemoOptions options;
            options.scale = db::DemoOptions::Scale::Large;
            db::generateDemoData(*c, options);
            uri = generated;
        }
        tk::TDateTime month = 0;
        {
            auto c = db::Connection::open(uri, db::OpenMode::ExistingOnly);
            const tk::DataPacket row = c->query("SELECT DTPROCESSO FROM FILIAL WHERE CDFILIAL = '0001'");
            if (row.rows.empty())
                throw tk::Exception("the database has no branch 0001");
            const tk::Variant &value = row.rows[0][0];
            month = tk::StartOfTheMonth(value.type() == tk::VarType::String ? tk::IsoToDateTime(value.asString())
                                                                            : value.asDateTime());
        }
        std::printf("database %s, %d clients x %d day changes x 3 calls, month %s, %u cores\n",
                    db::Connection::displayName(uri).c_str(), clients, days, tk::DateToStr(month).c_str(),
                    std::thread::hardware_concurrency());
        std::vector<RunResult> results;
        for (int servers : {1, 2}) {
            if (which != "both" && which != std::to_string(servers))
                continue;
            results.push_back(run(uri, servers, clients, days, month));
            const RunResult &r = results.back();
            std::printf("%d server(s): %zu calls, %zu errors, %.2f s, %.1f calls/s, p50 %.1f ms, p99 %.1f ms%s%s\n",
                        r.servers, r.calls, r.errors, r.seconds, r.callsPerSecond(), r.p50Ms, r.p99Ms,
                        r.errors ? ", first error: " : "", r.firstError.c_str());
            std::fflush(stdout);
        }
        if (results.size() == 2 && results[0].callsPerSecond() > 0)
            std::printf("throughput 2 servers / 1 server: %.2f\n",
                        results[1].callsPerSecond() / results[0].callsPerSecond());
        bool failed = false;
        for (const RunResult &r : results)
            failed = failed || r.errors > 0;
        if (!generated.empty())
            for (const char *suffix : {"", "-wal", "-shm"})
                std::filesystem::remove(generated + suffix);
        return failed ? 1 : 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench-server-load: %s\n", e.what());
        if (!generated.empty())
            for (const char *suffix : {"", "-wal", "-shm"})
                std::filesystem::remove(generated + suffix);
        return 2;
    }
}

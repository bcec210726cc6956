// Speed of the heaviest calls over loopback on the large demo kitchen (4 diets x 30 dishes a day x about
// 30 ingredients): GetTrabCusto for the month (target 150 ms) and GetProduto for one day (target 20 ms).
// The database is generated once in a temporary file, or named with --db DATABASE (or
// COSTANALYSIS_BENCH_DB): a SQLite file or a PostgreSQL URI. --db may be given more than once (e.g. the
// same kitchen made with --months 1 and with --months 36): every benchmark runs on each database, their
// repetitions interleaved so that a loaded machine slows them alike, and the end of the run gives the
// median of each database against the first one's. The CPU column is the whole process's (the server's
// threads included), so on a loaded machine it is the steadier figure; the in-process runs call the same
// handlers without the socket.
#include "platform/appserver/costmethods.h"
#include "platform/database/demodata.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <filesystem>
#include <string>
#include <vector>
#include <memory>
#include <unistd.h>

namespace {

// The databases of the run: `--db DATABASE` (a file or a PostgreSQL URI, e.g. made with demo-db
// --scale large --months 36) are used as they are; without one the large month is generated in a
// temporary file.
std::vector<std::string> g_databases;

struct LargeKitchen
{
    explicit LargeKitchen(const std::string &database)
    {
        if (!database.empty()) {
            path = database;
            owned = false;
        } else {
            path = (std::filesystem::temp_directory_path() / ("bench_server_" + std::to_string(::getpid()) + ".db")).string();
            cleanup();
        }
        if (owned) {
            auto c = db::Connection::open(path);
            db::createSchema(*c);
            db::DemoOptions options;
            options.scale = db::DemoOptions::Scale::Large;
            db::generateDemoData(*c, options);
        }
        server = std::make_unique<wire::RpcServer>(wire::RpcServer::Options{});
        service = appsrv::registerCostMethods(*server, path);
        port = server->start();
    }
    ~LargeKitchen()
    {
        server->stop();
        server.reset();
        service.reset();
        cleanup();
    }
    void cleanup()
    {
        if (!owned)
            return;
        std::error_code ignored;
        for (const char *suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix, ignored);
    }
    std::string path;
    bool owned = true;
    std::unique_ptr<wire::RpcServer> server;
    std::shared_ptr<appsrv::CostService> service;
    uint16_t port = 0;
};

// The kitchen of database `index`, set up on first use and kept for the run.
LargeKitchen &kitchen(size_t index)
{
    static std::map<size_t, std::unique_ptr<LargeKitchen>> kitchens;
    auto &k = kitchens[index];
    if (!k)
        k = std::make_unique<LargeKitchen>(index < g_databases.size() ? g_databases[index] : std::string());
    return *k;
}

tk::Variant date(int d)
{
    return tk::Variant::fromDateTime(tk::EncodeDate(2026, 3, d));
}

tk::VariantArray trabCustoArgs()
{
    return {"0001", "001", date(1), date(31), 44, "bench", false, date(1), "0002", true};
}

tk::VariantArray produtoArgs()
{
    return {"0001", "001", date(10), 44, false, date(10), date(1), "0002"};
}

size_t databaseOf(const benchmark::State &state)
{
    return static_cast<size_t>(state.range(0));
}

void BM_GetTrabCusto(benchmark::State &state)
{
    tk::TNetConnection net;
    net.Port = kitchen(databaseOf(state)).port;
    for (auto _ : state) {
        const tk::Variant r = net.Call("GetTrabCusto", trabCustoArgs());
        state.PauseTiming();
        net.Call("DelConsplan", {r[0], "0001"});
        state.ResumeTiming();
        benchmark::DoNotOptimize(r);
    }
}

void BM_GetProduto(benchmark::State &state)
{
    tk::TNetConnection net;
    net.Port = kitchen(databaseOf(state)).port;
    size_t rows = 0;
    for (auto _ : state) {
        const tk::Variant r = net.Call("GetProduto", produtoArgs());
        rows = r.packet().rows.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_GetTrabCustoInProcess(benchmark::State &state)
{
    appsrv::CostService &service = *kitchen(databaseOf(state)).service;
    for (auto _ : state) {
        const tk::Variant r = service.call("GetTrabCusto", trabCustoArgs());
        state.PauseTiming();
        service.call("DelConsplan", {r[0], "0001"});
        state.ResumeTiming();
        benchmark::DoNotOptimize(r);
    }
}

void BM_GetProdutoInProcess(benchmark::State &state)
{
    appsrv::CostService &service = *kitchen(databaseOf(state)).service;
    for (auto _ : state) {
        const tk::Variant r = service.call("GetProduto", produtoArgs());
        benchmark::DoNotOptimize(r);
    }
}

// Every benchmark once for each database (its argument: the database's index).
void registerBenchmarks()
{
    const int databases = static_cast<int>(std::max<size_t>(1, g_databases.size()));
    const std::pair<const char *, void (*)(benchmark::State &)> loopback[] = {{"BM_GetTrabCusto", BM_GetTrabCusto},
                                                                               {"BM_GetProduto", BM_GetProduto}};
    const std::pair<const char *, void (*)(benchmark::State &)> inProcess[] = {
        {"BM_GetTrabCustoInProcess", BM_GetTrabCustoInProcess}, {"BM_GetProdutoInProcess", BM_GetProdutoInProcess}};
    for (const auto &[name, fn] : loopback)
        benchmark::RegisterBenchmark(name, fn)->DenseRange(0, databases - 1)->ArgName("db")->Unit(
            benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->MinTime(1.0);
    for (const auto &[name, fn] : inProcess)
        benchmark::RegisterBenchmark(name, fn)->DenseRange(0, databases - 1)->ArgName("db")->Unit(
            benchmark::kMillisecond)->MeasureProcessCPUTime()->MinTime(1.0);
}

// The console report, then each database's medians against the first database's.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            const std::string name = run.run_name.function_name;
            const std::string args = run.run_name.args; // "db:N"
            const size_t database = args.empty() ? 0 : std::stoul(args.substr(args.find(':') + 1));
            m_medians[name][database] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (g_databases.size() < 2)
            return;
        std::printf("\nmedians against db:0 (%s)\n", db::Connection::displayName(g_databases[0]).c_str());
        for (const auto &[name, byDatabase] : m_medians) {
            const auto first = byDatabase.find(0);
            if (first == byDatabase.end())
                continue;
            for (const auto &[database, median] : byDatabase) {
                if (database == 0 || first->second.first <= 0 || first->second.second <= 0)
                    continue;
                std::printf("%-26s db:%zu  time %6.2f  cpu %6.2f  (%s)\n", name.c_str(), database,
                            median.first / first->second.first, median.second / first->second.second,
                            db::Connection::displayName(g_databases[database]).c_str());
            }
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::map<size_t, std::pair<double, double>>> m_medians; // real, cpu
};

} // namespace

int main(int argc, char **argv)
{
    // --db DATABASE is this program's own option; the rest go to the benchmark library, after the
    // defaults of a comparison (which they override): repetitions, interleaved, medians.
    std::string repetitions = "--benchmark_repetitions=7", interleaving = "--benchmark_enable_random_interleaving=true",
                aggregates = "--benchmark_report_aggregates_only=true";
    std::vector<char *> rest{argv[0], repetitions.data(), interleaving.data(), aggregates.data()};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db" && i + 1 < argc)
            g_databases.push_back(argv[++i]);
        else if (arg.rfind("--db=", 0) == 0)
            g_databases.push_back(arg.substr(5));
        else
            rest.push_back(argv[i]);
    }
    if (const char *env = std::getenv("COSTANALYSIS_BENCH_DB"); env && g_databases.empty())
        g_databases.push_back(env);
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data()))
        return 2;
    if (g_databases.empty()) {
        benchmark::AddCustomContext("db:0", "generated large month (SQLite)");
    } else {
        for (size_t i = 0; i < g_databases.size(); ++i)
            benchmark::AddCustomContext("db:" + std::to_string(i), db::Connection::displayName(g_databases[i]));
    }
    registerBenchmarks();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

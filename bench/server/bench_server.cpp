// Speed of the heaviest calls over loopback on the large demo kitchen (4 diets x 30 dishes a day x about
// 30 ingredients): GetTrabCusto for the month (target 150 ms) and GetProduto for one day (target 20 ms).
// The database is generated once in a temporary file, or named with --db DATABASE (or
// COSTANALYSIS_BENCH_DB): a SQLite file or a PostgreSQL URI. The loopback runs measure wall time (the work is on
// the server's threads); the in-process runs call the same handlers on the benchmark thread, so their CPU
// column is the server-side cost, comparable on a loaded machine.

#include "platform/appserver/costmethods.h"
#include "platform/database/demodata.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <memory>
#include <unistd.h>

namespace {

// The database of the run: `--db DATABASE` (a file or a PostgreSQL URI, e.g. made with demo-db
// --scale large --months 36) is used as it is; without it the large month is generated in a temporary file.
std::string g_database;

struct LargeKitchen
{
    LargeKitchen()
    {
        if (!g_database.empty()) {
            path = g_database;
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

LargeKitchen &kitchen()
{
    static LargeKitchen k;
    return k;
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

void BM_GetTrabCusto(benchmark::State &state)
{
    tk::TNetConnection net;
    net.Port = kitchen().port;
    for (auto _ : state) {
        const tk::Variant r = net.Call("GetTrabCusto", trabCustoArgs());
        state.PauseTiming();
        net.Call("DelConsplan", {r[0], "0001"});
        state.ResumeTiming();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_GetTrabCusto)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_GetProduto(benchmark::State &state)
{
    tk::TNetConnection net;
    net.Port = kitchen().port;
    size_t rows = 0;
    for (auto _ : state) {
        const tk::Variant r = net.Call("GetProduto", produtoArgs());
        rows = r.packet().rows.size();
        benchmark::DoNotOptimize(r);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_GetProduto)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_GetTrabCustoInProcess(benchmark::State &state)
{
    appsrv::CostService &service = *kitchen().service;
    for (auto _ : state) {
        const tk::Variant r = service.call("GetTrabCusto", trabCustoArgs());
        state.PauseTiming();
        service.call("DelConsplan", {r[0], "0001"});
        state.ResumeTiming();
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_GetTrabCustoInProcess)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_GetProdutoInProcess(benchmark::State &state)
{
    appsrv::CostService &service = *kitchen().service;
    for (auto _ : state) {
        const tk::Variant r = service.call("GetProduto", produtoArgs());
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_GetProdutoInProcess)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    // --db DATABASE is this program's own option; the rest go to the benchmark library.
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--db" && i + 1 < argc) {
            g_database = argv[++i];
        } else if (arg.rfind("--db=", 0) == 0) {
            g_database = arg.substr(5);
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (const char *env = std::getenv("COSTANALYSIS_BENCH_DB"); env && g_database.empty())
        g_database = env;
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    if (benchmark::ReportUnrecognizedArguments(count, rest.data()))
        return 2;
    benchmark::AddCustomContext("database", g_database.empty() ? "generated large month (SQLite)"
                                                                : db::Connection::displayName(g_database));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

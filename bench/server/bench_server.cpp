// Speed of the heaviest calls over loopback on the large demo kitchen (4 diets x 30 dishes a day x about
// 30 ingredients): GetTrabCusto for the month (target 150 ms) and GetProduto for one day (target 20 ms).
// The database is generated once in a temporary file. The loopback runs measure wall time (the work is on
// the server's threads); the in-process runs call the same handlers on the benchmark thread, so their CPU
// column is the server-side cost, comparable on a loaded machine.

#include "platform/appserver/costmethods.h"
#include "platform/database/demodata.h"
#include "platform/protocol/netconnection.h"
#include "platform/protocol/rpcserver.h"
#include "platform/toolkit/data/datetime.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

struct LargeKitchen
{
    LargeKitchen()
    {
        path = (std::filesystem::temp_directory_path() / ("bench_server_" + std::to_string(::getpid()) + ".db")).string();
        cleanup();
        {
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
        std::error_code ignored;
        for (const char *suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(path + suffix, ignored);
    }
    std::string path;
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

BENCHMARK_MAIN();

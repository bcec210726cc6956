// Speed of the in-memory dataset on 100,000 records of 20 fields: a two-clause filter, a
// three-key Locate whose match is the last record, a full walk computing two calculated fields,
// and the packet codec. Targets: filter <= 5 ms, locate <= 2 ms, decode >= 200 MB/s.
//
//   build-toolkit/bin/bench-toolkit

#include "platform/toolkit/data/dataset.h"
#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kRecords = 100000;

// prefix + number, built by appending (GCC 12 warns falsely on "literal" + std::string).
std::string text(const char *prefix, int number)
{
    std::string out(prefix);
    out += std::to_string(number);
    return out;
}

tk::DataPacket makePacket()
{
    using tk::FieldType;
    tk::DataPacket p;
    for (int i = 0; i < 6; ++i)
        p.addField("S" + std::to_string(i), FieldType::String, 20);
    for (int i = 0; i < 6; ++i)
        p.addField("F" + std::to_string(i), FieldType::Float);
    for (int i = 0; i < 5; ++i)
        p.addField("I" + std::to_string(i), FieldType::Integer);
    p.addField("D0", FieldType::DateTime);
    p.addField("D1", FieldType::DateTime);
    p.addField("B0", FieldType::Boolean);
    const double base = tk::EncodeDate(2024, 3, 1);
    for (int r = 0; r < kRecords; ++r) {
        std::vector<tk::Variant> row;
        row.reserve(20);
        row.emplace_back(text("BR", r % 4));          // S0: branch
        row.emplace_back(text("P", r % 1000));        // S1: dish code
        row.emplace_back(text("key", r));             // S2: unique
        for (int i = 3; i < 6; ++i)
            row.emplace_back(text("text ", r * i % 9973));
        for (int i = 0; i < 6; ++i)
            row.emplace_back(r * 0.01 + i);
        for (int i = 0; i < 5; ++i)
            row.emplace_back(int32_t(r % (10 + i)));
        row.push_back(tk::Variant::fromDateTime(base + r % 31));
        row.push_back(tk::Variant::fromDateTime(base + r % 31 + 0.5));
        row.emplace_back(r % 2 == 0);
        p.rows.push_back(std::move(row));
    }
    return p;
}

const tk::DataPacket &packet()
{
    static const tk::DataPacket p = makePacket();
    return p;
}

void BM_FilterTwoClauses(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    ds.SetData(packet());
    ds.SetFilter("S0 = 'BR1' AND I0 > 4");
    ds.SetFiltered(true);
    int n = 0;
    for (auto _ : state) {
        // Each iteration applies a new two-clause filter text to the whole dataset.
        ds.SetFilter(n++ % 2 ? "S0 = 'BR1' AND I0 > 4" : "S0 = 'BR2' AND D0 = '05/03/2024'");
        benchmark::DoNotOptimize(ds.RecordCount());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_FilterTwoClauses)->Unit(benchmark::kMillisecond);

// The keys of the last record: the first two match one record in 4,000; only the last record
// matches all three.
tk::Variant lastRecordKeys()
{
    const int last = kRecords - 1;
    return tk::Variant::array({tk::Variant(text("BR", last % 4)), tk::Variant(text("P", last % 1000)),
                               tk::Variant(text("key", last))});
}

void BM_LocateThreeKeysLastRecord(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    ds.SetData(packet());
    const tk::Variant keys = lastRecordKeys();
    for (auto _ : state) {
        ds.First();
        if (!ds.Locate("S0;S1;S2", keys))
            state.SkipWithError("not found");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LocateThreeKeysLastRecord)->Unit(benchmark::kMillisecond);

// The same search as the first one after an edit of another record: the edit brings the key copies
// of earlier searches up to date instead of dropping them.
void BM_LocateThreeKeysFirstAfterChange(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    ds.SetData(packet());
    const tk::Variant keys = lastRecordKeys();
    tk::TField *f0 = ds.FieldByName("F0");
    double value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ds.First();
        ds.Edit();
        f0->SetAsFloat(value += 1);
        ds.Post();
        state.ResumeTiming();
        if (!ds.Locate("S0;S1;S2", keys))
            state.SkipWithError("not found");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LocateThreeKeysFirstAfterChange)->Unit(benchmark::kMillisecond);

// The first search on a new view (here a filter that every record passes): the key hashes of the
// earlier searches follow the records, not the view, so they serve the new view as they are.
void BM_LocateThreeKeysFirstOnNewView(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    ds.SetData(packet());
    ds.SetFiltered(true);
    const tk::Variant keys = lastRecordKeys();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ds.SetFilter(n++ % 2 ? "I0 >= 0" : "I1 >= 0");
        state.ResumeTiming();
        if (!ds.Locate("S0;S1;S2", keys))
            state.SkipWithError("not found");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LocateThreeKeysFirstOnNewView)->Unit(benchmark::kMillisecond);

// The first search after a reload of a dataset searched before: the load hashes the fields of the
// earlier searches as it reads the rows.
void BM_LocateThreeKeysFirstAfterReload(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    ds.SetData(packet());
    const tk::Variant keys = lastRecordKeys();
    for (int i = 0; i < 8; ++i)
        ds.Locate("S0;S1;S2", keys);
    for (auto _ : state) {
        state.PauseTiming();
        ds.SetData(packet());
        state.ResumeTiming();
        if (!ds.Locate("S0;S1;S2", keys))
            state.SkipWithError("not found");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LocateThreeKeysFirstAfterReload)->Unit(benchmark::kMillisecond);

// The first search of a freshly loaded dataset never searched before reads its records.
void BM_LocateThreeKeysFirstOnFreshDataSet(benchmark::State &state)
{
    const tk::Variant keys = lastRecordKeys();
    for (auto _ : state) {
        state.PauseTiming();
        auto ds = std::make_unique<tk::TClientDataSet>("bench");
        ds->SetData(packet());
        state.ResumeTiming();
        if (!ds->Locate("S0;S1;S2", keys))
            state.SkipWithError("not found");
        state.PauseTiming();
        ds.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_LocateThreeKeysFirstOnFreshDataSet)->Unit(benchmark::kMillisecond);

void BM_WalkWithTwoCalculatedFields(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    tk::TField *total = ds.AddField("Total", tk::FieldType::Float, 0, tk::TFieldKind::fkCalculated);
    tk::TField *perCapita = ds.AddField("PerCapita", tk::FieldType::Float, 0, tk::TFieldKind::fkCalculated);
    ds.SetData(packet());
    tk::TField *f0 = ds.FieldByName("F0");
    tk::TField *f1 = ds.FieldByName("F1");
    tk::TField *i0 = ds.FieldByName("I0");
    ds.OnCalcFields = [&](tk::TClientDataSet &) {
        total->SetAsFloat(f0->AsFloat() + f1->AsFloat());
        const int32_t n = i0->AsInteger();
        perCapita->SetAsFloat(n > 0 ? tk::RoundDec(total->AsFloat() / n, 5) : 0);
    };
    for (auto _ : state) {
        ds.Refresh(); // invalidates: every record is computed again as the walk reaches it
        double sum = 0;
        for (ds.First(); !ds.Eof(); ds.Next())
            sum += perCapita->AsFloat();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WalkWithTwoCalculatedFields)->Unit(benchmark::kMillisecond);

void BM_PacketEncode(benchmark::State &state)
{
    const tk::DataPacket &p = packet();
    std::string bytes;
    for (auto _ : state) {
        bytes.clear();
        p.encodeTo(bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PacketEncode)->Unit(benchmark::kMillisecond);

void BM_PacketDecode(benchmark::State &state)
{
    const std::string bytes = packet().encode();
    for (auto _ : state) {
        tk::DataPacket p = tk::DataPacket::decode(bytes);
        benchmark::DoNotOptimize(p.rows.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PacketDecode)->Unit(benchmark::kMillisecond);

// Argument 1: a dataset searched on three keys before, whose loads hash those keys.
void BM_SetData(benchmark::State &state)
{
    tk::TClientDataSet ds("bench");
    if (state.range(0)) {
        ds.SetData(packet());
        for (int i = 0; i < 8; ++i)
            ds.Locate("S0;S1;S2", lastRecordKeys());
    }
    for (auto _ : state)
        ds.SetData(packet());
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_SetData)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// RoundDec at 5 places on the shapes the cost code rounds: quantity x diners, price x quantity, and
// values on a half step (the slow path).
void BM_RoundDec(benchmark::State &state)
{
    std::vector<double> values;
    for (int i = 0; i < 1024; ++i) {
        const double q = (i * 37 % 50000) / 1e5;
        values.push_back(q * (i % 900));
        values.push_back((i % 6000) / 100.0 * q);
        values.push_back((i * 7919 % 100000 + 0.5) / 1e5);
    }
    for (auto _ : state) {
        double sum = 0;
        for (double v : values)
            sum += tk::RoundDec(v, 5);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t(values.size()));
}
BENCHMARK(BM_RoundDec)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

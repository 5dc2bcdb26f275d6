// Microbenchmarks of the SZDD codec on generated text and noise: each level's compression, and
// expansion against libmspack's decoder in memory.
#include "archive/szdd.h"
#include "tests/bench/mspack_memory.h"
#include "tests/archive/szdd/szdd_test_set.h"

#include <benchmark/benchmark.h>

namespace {

namespace szdd = kv::archive::szdd;
using kv::archive::szdd::test::TestRandom;
using kv::archive::szdd::test::Text;

std::vector<std::uint8_t> Sample(int kind) { return kind == 0 ? Text(1 << 20, 1) : TestRandom(2).Bytes(1 << 20); }

void BM_Compress(benchmark::State& state) {
    const auto data = Sample(int(state.range(0)));
    const auto level = state.range(1) ? szdd::Level::Best : szdd::Level::Fast;
    for (auto _ : state) benchmark::DoNotOptimize(szdd::Compress(data, level).data());
    state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_Compress)->ArgNames({"noise", "best"})->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

void BM_Expand(benchmark::State& state) {
    const auto data = Sample(int(state.range(0)));
    const auto packed = szdd::Compress(data, szdd::Level::Best);
    for (auto _ : state) benchmark::DoNotOptimize(szdd::Expand(packed).bytes.data());
    state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_Expand)->ArgName("noise")->Arg(0)->Arg(1);

void BM_MspackExpand(benchmark::State& state) {
    const auto data = Sample(int(state.range(0)));
    const auto packed = szdd::Compress(data, szdd::Level::Best);
    kv::bench::MspackSzdd mspack;
    std::vector<std::uint8_t> out;
    out.reserve(data.size());
    for (auto _ : state) {
        mspack.Expand(packed, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(data.size()));
}
BENCHMARK(BM_MspackExpand)->ArgName("noise")->Arg(0)->Arg(1);

}  // namespace

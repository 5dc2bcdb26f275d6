// Speed of the checksum pass: the signed byte sum over memory and over a file, which should both
// run near memory (or page-cache) speed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <benchmark/benchmark.h>

#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "startup/installer_stream.h"

namespace {

void BM_SignedByteSum(benchmark::State& state) {
    std::vector<std::uint8_t> data(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 131 + 7);
    for (auto _ : state) benchmark::DoNotOptimize(kv::archive::SignedByteSum(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SignedByteSum)->Arg(64 << 10)->Arg(16 << 20);

void BM_ChecksumOpenFile(benchmark::State& state) {
    const auto path = std::filesystem::temp_directory_path() / "kv-checksum-benchmark.bin";
    std::vector<std::uint8_t> data(static_cast<std::size_t>(state.range(0)), 0x5A);
    if (std::FILE* out = std::fopen(path.string().c_str(), "wb")) {
        std::fwrite(data.data(), 1, data.size(), out);
        std::fclose(out);
    }
    for (auto _ : state) {
        // The installer's own path: its open file as the reader's source.
        kv::startup::InstallerStream source(std::fopen(path.string().c_str(), "rb"));
        benchmark::DoNotOptimize(kv::archive::ChecksumInstaller(source));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    std::filesystem::remove(path);
}
BENCHMARK(BM_ChecksumOpenFile)->Arg(32 << 20);

}  // namespace

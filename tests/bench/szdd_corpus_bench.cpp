// Corpus benchmark of the SZDD codec and the checksum, printed as key=value lines for
// scripts/bench.sh: compressed totals and MB/s at both levels, expansion MB/s against libmspack in
// memory, and the installer's checksum pass over its open file against a plain sequential read of
// one file. Times are the process's CPU time (user and system), which other load on a shared
// machine disturbs far less than the wall clock; scripts/bench.sh measures mscompress and msexpand the same way.
// Usage: szdd_corpus_bench CORPUS_DIR [CHECKSUM_FILE]
#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "archive/szdd.h"
#include "startup/installer_stream.h"
#include "tests/bench/mspack_memory.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace szdd = kv::archive::szdd;
using Bytes = std::vector<std::uint8_t>;
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The best of `runs` timings of `work`: the least disturbed by other load on the machine.
template <typename Work>
double BestOf(int runs, Work&& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        work();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

std::vector<Bytes> LoadCorpus(const fs::path& dir, std::uint64_t& total) {
    std::vector<fs::path> paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        // Dot files (the corpus script's completion mark) are not part of the corpus.
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::vector<Bytes> files;
    total = 0;
    for (const auto& path : paths) {
        std::ifstream in(path, std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        total += files.back().size();
    }
    return files;
}

double Mbps(std::uint64_t bytes, double seconds) { return double(bytes) / seconds / 1e6; }

void BenchCodec(const std::vector<Bytes>& files, std::uint64_t total) {
    std::vector<Bytes> best;
    for (szdd::Level level : {szdd::Level::Fast, szdd::Level::Best}) {
        const char* name = level == szdd::Level::Fast ? "fast" : "best";
        std::vector<Bytes> packed(files.size());
        const double seconds = BestOf(level == szdd::Level::Fast ? 3 : 1, [&] {
            for (std::size_t i = 0; i < files.size(); ++i) packed[i] = szdd::Compress(files[i], level);
        });
        std::uint64_t bytes = 0, archiveBytes = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            bytes += packed[i].size();
            // What CompressForArchive keeps: the file itself when the SZDD form is not smaller.
            const bool stored = packed[i].size() >= files[i].size() && !szdd::HasSignature(files[i]);
            archiveBytes += stored ? files[i].size() : packed[i].size();
        }
        std::printf("compress_%s_bytes=%llu\ncompress_%s_archive_bytes=%llu\ncompress_%s_mbps=%.1f\n", name,
                    (unsigned long long)bytes, name, (unsigned long long)archiveBytes, name, Mbps(total, seconds));
        if (level == szdd::Level::Best) best = std::move(packed);
    }

    // Expansion of the best-level files, ours and libmspack's, both from memory into memory.
    std::size_t mismatches = 0;
    const double ours = BestOf(3, [&] {
        for (std::size_t i = 0; i < best.size(); ++i) {
            const szdd::Expanded e = szdd::Expand(best[i]);
            benchmark::DoNotOptimize(e.bytes.data());
            if (e.bytes.size() != files[i].size()) ++mismatches;
        }
    });
    kv::bench::MspackSzdd mspack;
    Bytes out;
    out.reserve(
        std::max_element(files.begin(), files.end(), [](auto& a, auto& b) { return a.size() < b.size(); })->size());
    const double theirs = BestOf(3, [&] {
        for (std::size_t i = 0; i < best.size(); ++i) {
            if (!mspack.Expand(best[i], out) || out.size() != files[i].size()) ++mismatches;
            benchmark::DoNotOptimize(out.data());
        }
    });
    for (std::size_t i = 0; i < best.size(); ++i) {
        if (szdd::Expand(best[i]).bytes != files[i]) ++mismatches;
    }
    std::printf("expand_mbps=%.1f\nmspack_expand_mbps=%.1f\nexpand_mismatches=%zu\n", Mbps(total, ours),
                Mbps(total, theirs), mismatches);
}

void BenchChecksum(const std::string& path) {
    const std::uint64_t size = fs::file_size(path);
    std::vector<char> buffer(1 << 20);
    auto plainRead = [&] {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) return;
        while (::read(fd, buffer.data(), buffer.size()) > 0) benchmark::DoNotOptimize(buffer.data());
        ::close(fd);
    };
    plainRead();  // both passes then read from the page cache
    const double read = BestOf(5, plainRead);
    bool ok = true;
    const double sum = BestOf(5, [&] {
        kv::startup::InstallerStream source(std::fopen(path.c_str(), "rb"));
        ok = ok && kv::archive::ChecksumInstaller(source).readWhole;
    });
    std::printf("checksum_file_bytes=%llu\nread_gbps=%.2f\nchecksum_gbps=%.2f\nchecksum_ok=%d\n",
                (unsigned long long)size, double(size) / read / 1e9, double(size) / sum / 1e9, ok ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR [CHECKSUM_FILE]\n", argv[0]);
        return 2;
    }
    std::uint64_t total = 0;
    const std::vector<Bytes> files = LoadCorpus(argv[1], total);
    std::printf("corpus_files=%zu\ncorpus_bytes=%llu\n", files.size(), (unsigned long long)total);
    std::fflush(stdout);
    BenchCodec(files, total);
    if (argc > 2) BenchChecksum(argv[2]);
    return 0;
}

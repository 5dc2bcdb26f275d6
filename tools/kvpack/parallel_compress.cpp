// Compressing many inputs at once on every core, with results in input order.
#include "tools/kvpack/parallel_compress.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace kv::tools {

std::vector<std::vector<std::uint8_t>> CompressAll(const std::vector<CompressJob>& jobs, kv::archive::szdd::Level level,
                                                   unsigned threads,
                                                   const std::function<void(const CompressJob&)>& onDone) {
    std::vector<std::vector<std::uint8_t>> results(jobs.size());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, std::max<std::size_t>(jobs.size(), 1)));

    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    // Each worker takes the next unclaimed job, so large files do not hold up a fixed share.
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++) {
            try {
                results[i] = kv::archive::szdd::CompressForArchive(jobs[i].data, level);
                if (onDone) onDone(jobs[i]);
            } catch (...) {
                std::lock_guard lock(failureMutex);
                if (!failure) failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
    return results;
}

}  // namespace kv::tools

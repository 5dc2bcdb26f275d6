// Compressing many inputs at once on every core, with results in input order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/szdd.h"

namespace kv::tools {

struct CompressJob {
    std::string name;                // shown in the progress line
    std::vector<std::uint8_t> data;  // the file's bytes
};

// CompressForArchive for each job on up to `threads` threads (0: one per core). Result i belongs to
// job i whatever the order the threads finish in, so the output does not depend on scheduling.
// `onDone` (may be empty) is called once per finished job, from the worker thread.
std::vector<std::vector<std::uint8_t>> CompressAll(const std::vector<CompressJob>& jobs, kv::archive::szdd::Level level,
                                                   unsigned threads = 0,
                                                   const std::function<void(const CompressJob&)>& onDone = {});

}  // namespace kv::tools

// Fuzz target: compressing any bytes at either level and expanding the result gives them back,
// with an exact stream end, and the best level is never larger than the fast one by a flag byte.
#include "archive/szdd.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv::archive::szdd;
    const std::vector<std::uint8_t> input(data, data + size);
    const std::vector<std::uint8_t> best = Compress(input, Level::Best);
    const std::vector<std::uint8_t> fast = Compress(input, Level::Fast);
    for (const auto* packed : {&best, &fast}) {
        const Expanded e = Expand(*packed);
        if (e.status != ExpandStatus::Ok || e.bytes != input) std::abort();
    }
    if (best.size() > fast.size() + 1) std::abort();
    const std::vector<std::uint8_t> stored = CompressForArchive(input, Level::Fast);
    if (Expand(stored).bytes != input) std::abort();
    return 0;
}

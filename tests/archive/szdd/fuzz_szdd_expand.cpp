// Fuzz target: the expander takes any bytes without overrunning, and what it reports is consistent.
#include "archive/szdd.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kv::archive::szdd;
    const std::span<const std::uint8_t> input(data, size);
    const Expanded e = Expand(input);
    switch (e.status) {
    case ExpandStatus::NotSzdd:
        if (e.bytes.size() != size || (size && std::memcmp(e.bytes.data(), data, size) != 0)) std::abort();
        break;
    case ExpandStatus::Ok:
    case ExpandStatus::TrailingBytes:
        if (e.bytes.size() != e.declaredSize) std::abort();
        break;
    case ExpandStatus::Truncated:
        if (e.bytes.size() >= e.declaredSize) std::abort();
        break;
    case ExpandStatus::BadHeader:
        if (!e.bytes.empty()) std::abort();
        break;
    }
    // Whatever came out compresses and expands back to itself.
    if (e.status == ExpandStatus::Ok && e.bytes.size() <= 4096) {
        const Expanded again = Expand(Compress(e.bytes, Level::Fast));
        if (again.status != ExpandStatus::Ok || again.bytes != e.bytes) std::abort();
    }
    return 0;
}

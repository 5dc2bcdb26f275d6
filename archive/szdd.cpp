// The archive rule: what an archive stores for a file, compressed or as it is.
#include "archive/szdd.h"

namespace kv::archive::szdd {

std::vector<std::uint8_t> CompressForArchive(std::span<const std::uint8_t> data, Level level) {
    std::vector<std::uint8_t> packed = Compress(data, level);
    // The LZ service copies a non-SZDD file unchanged, so a file that does not shrink is stored as
    // it is; one that begins with the signature must be wrapped, or the service would expand it.
    if (packed.size() >= data.size() && !HasSignature(data)) return {data.begin(), data.end()};
    return packed;
}

}  // namespace kv::archive::szdd

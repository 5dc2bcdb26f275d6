// SZDD helpers shared by the compressor and the expander: the signature test and the archive rule.
#include "archive/szdd.h"

#include <algorithm>

#include "archive/little_endian.h"

namespace kv::archive::szdd {

bool HasSignature(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), data.begin());
}

bool IsCompressedEntry(std::span<const std::uint8_t> entry) {
    return entry.size() >= kHeaderSize && HasSignature(entry);
}

std::uint64_t ExpandedSize(std::span<const std::uint8_t> entry) {
    if (!IsCompressedEntry(entry)) return entry.size();
    return LoadU32le(entry.subspan<10, 4>());
}

std::vector<std::uint8_t> CompressForArchive(std::span<const std::uint8_t> data, Level level) {
    std::vector<std::uint8_t> packed = Compress(data, level);
    // The LZ service copies a non-SZDD file unchanged, so a file that does not shrink is stored as
    // it is; one that begins with the signature must be wrapped, or the service would expand it.
    if (packed.size() >= data.size() && !HasSignature(data)) return {data.begin(), data.end()};
    return packed;
}

}  // namespace kv::archive::szdd

// What an SZDD header tells without expanding anything. A file of its own, so that the installer,
// which expands through the platform's LZ service, links none of the compressor with it.
#include <algorithm>

#include "archive/little_endian.h"
#include "archive/szdd.h"

namespace kv::archive::szdd {

bool HasSignature(std::span<const std::uint8_t> data) {
    return data.size() >= sizeof kSignature && std::equal(std::begin(kSignature), std::end(kSignature), data.begin());
}

bool IsCompressedEntry(std::span<const std::uint8_t> entry) {
    return entry.size() >= kHeaderSize && HasSignature(entry);
}

std::uint64_t ExpandedSize(std::span<const std::uint8_t> entry) {
    if (!IsCompressedEntry(entry)) return entry.size();
    return LoadU32le(entry.subspan<kSizeOffset, 4>());
}

}  // namespace kv::archive::szdd

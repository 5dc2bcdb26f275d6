// The SZDD format read by the Windows LZ expansion service: a 14-byte header, then LZSS over a
// 4096-byte ring pre-filled with spaces whose first write position is 4080.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kv::archive::szdd {

inline constexpr std::uint8_t kSignature[8] = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33};
inline constexpr std::size_t kHeaderSize = 14;
// Where the header's fields stand behind the signature: the mode byte, the last character of the
// file name that the compressed name replaced with '_', and the expanded size (32 bits, little-endian).
inline constexpr std::size_t kModeOffset = 8;
inline constexpr std::size_t kNameCharOffset = 9;
inline constexpr std::size_t kSizeOffset = 10;
static_assert(kModeOffset == sizeof kSignature && kSizeOffset + 4 == kHeaderSize);
inline constexpr std::uint8_t kModeA = 0x41;     // the only compression mode the LZ service knows
inline constexpr std::size_t kRingSize = 4096;   // the LZSS window, pre-filled with spaces
inline constexpr std::size_t kRingStart = 4080;  // first write position in the ring
inline constexpr std::size_t kMinMatch = 3;      // shortest match a token can encode
inline constexpr std::size_t kMaxMatch = 18;     // longest match a token can encode

enum class Level {
    Fast,  // lazy matching
    Best,  // optimal parse: the smallest stream the format allows
};

// Compresses `data` into a complete SZDD file (header included).
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, Level level = Level::Best);

// What to store in an archive for `data`: the SZDD form, or the file as it is when that is not
// larger and the file does not itself begin with the SZDD signature (the LZ service copies a
// non-SZDD file through unchanged).
std::vector<std::uint8_t> CompressForArchive(std::span<const std::uint8_t> data, Level level = Level::Best);

bool HasSignature(std::span<const std::uint8_t> data);

// Whether the LZ service expands `entry` (it begins with a whole SZDD header) rather than copying it.
bool IsCompressedEntry(std::span<const std::uint8_t> entry);
// The size `entry` expands to: the size in its SZDD header, or its own size when it is stored as is.
std::uint64_t ExpandedSize(std::span<const std::uint8_t> entry);

enum class ExpandStatus {
    Ok,
    NotSzdd,        // passed through unchanged, like the platform service does
    Truncated,      // the data ended before the declared size was reached
    TrailingBytes,  // compressed data continues past the declared size
    BadHeader,      // the signature is there but the mode byte is not 'A': the LZ service refuses it
};

struct Expanded {
    std::vector<std::uint8_t> bytes;  // never more than the declared size
    ExpandStatus status = ExpandStatus::Ok;
    std::uint32_t declaredSize = 0;  // the header's uncompressed size (0 when not SZDD)
};

// A short English name of a status, for messages ("ok", "truncated", ...).
const char* StatusName(ExpandStatus status);

// Accepts any input and never overruns; stops at the declared size or the end of the data.
Expanded Expand(std::span<const std::uint8_t> file);

}  // namespace kv::archive::szdd

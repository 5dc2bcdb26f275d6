// The archive checksum: every byte but the last four, as signed 8-bit values, summed with 32-bit wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "archive/read_at_source.h"

namespace kv::archive {

// Signed byte sum of a span (all of it; the caller leaves out the stored checksum).
std::uint32_t SignedByteSum(std::span<const std::uint8_t> bytes, std::uint32_t start = 0);

// Sum over a memory image of a whole installer: all bytes but the last four.
std::uint32_t ChecksumOf(std::span<const std::uint8_t> wholeFile);

// Size of each read of the streaming sum.
inline constexpr std::size_t kChecksumReadSize = std::size_t{1} << 20;

// Signed byte sum of the first `end` bytes of a source, in reads of kChecksumReadSize. Empty when a
// read comes short (the file ends early or cannot be read).
std::optional<std::uint32_t> SignedByteSumOf(ReadAtSource& source, std::uint64_t end);

}  // namespace kv::archive

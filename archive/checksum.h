// The archive checksum: every byte but the last four, as signed 8-bit values, summed with 32-bit wrap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kv::archive {

// Signed byte sum of a span (all of it; the caller leaves out the stored checksum).
std::uint32_t SignedByteSum(std::span<const std::uint8_t> bytes, std::uint32_t start = 0);

// Sum over a memory image of a whole installer: all bytes but the last four.
std::uint32_t ChecksumOf(std::span<const std::uint8_t> wholeFile);

struct FileChecksum {
    std::uint32_t computed = 0;  // sum of all bytes but the last four
    std::uint32_t stored = 0;    // the last four bytes, little-endian
    std::uint64_t fileSize = 0;
    bool matches() const { return fileSize >= 4 && computed == stored; }
};

// Size of each read of ChecksumFile.
inline constexpr std::size_t kChecksumReadSize = std::size_t{1} << 20;

// One streaming pass over a file in large reads. Empty optional when the file cannot be read.
std::optional<FileChecksum> ChecksumFile(const std::string& path);

}  // namespace kv::archive

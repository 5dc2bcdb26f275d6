// The places in a PE program image that Authenticode signing rewrites: the PE checksum field and the
// security directory entry, which points at the certificate table appended to the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "archive/read_at_source.h"

namespace kv::archive {

struct PeSigningFields {
    std::uint64_t checksumAt = 0;       // the 4-byte PE checksum field (optional header + 64)
    std::uint64_t securityEntryAt = 0;  // the 8-byte security directory entry (data directory 4)
    std::uint32_t tableOffset = 0;      // the entry: file offset of the certificate table...
    std::uint32_t tableSize = 0;        // ...and its size in bytes
};

inline constexpr std::size_t kPeChecksumSize = 4;
inline constexpr std::size_t kSecurityEntrySize = 8;

// Finds the two fields through the DOS and PE headers at the start of the source. Empty when the
// headers are not those of a PE32 or PE32+ image, or the fields lie past the end of the source.
std::optional<PeSigningFields> FindPeSigningFields(ReadAtSource& source);

// Zeroes both fields of a PE image in memory (the state a signed file is checked in); false when
// `image` is not a PE image.
bool ClearPeSigningFields(std::span<std::uint8_t> image);

}  // namespace kv::archive

// Reading and writing the Manifest block, with every limit and convention a reader relies on.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "archive/format.h"
#include "archive/format_error.h"

namespace kv::archive {

// Parses a whole manifest block. `manifestStart` is the block's offset in the installer file:
// every entry must lie inside [0, manifestStart). Throws FormatError naming the field for: a string
// over its limit or without terminator, a field or record past the end of the block, a count the
// remaining bytes cannot hold, fileCount below 1, an entry outside the file or overlapping the
// manifest/trailer, and a record that would write outside the installation folder (a `file` with a
// separator, a drive colon, "." or "..", a `folder` that is absolute or has a ".." component).
Manifest ReadManifest(std::span<const std::uint8_t> block, std::uint64_t manifestStart);

// The manifest fields in order, without trailing bytes. `offset` and `length` are written as given.
std::vector<std::uint8_t> WriteManifest(const Manifest& manifest);

}  // namespace kv::archive

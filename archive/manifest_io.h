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
// manifest/trailer or at 2^31 and above, and a record that would write outside its folder (a `file`
// with a separator or colon, or empty or only dots ("." ".."); a `folder` that is absolute, names a
// drive or has a ".." component; a non-empty `setupName` or `iniFile` that is not a plain file name).
// A settingCount of 0 or less means no settings; bytes after the last record are ignored.
Manifest ReadManifest(std::span<const std::uint8_t> block, std::uint64_t manifestStart);

// The manifest fields in order, without trailing bytes. `offset` and `length` are written as given.
// Writes whatever the layout can carry, broken limits included (tests build damaged manifests with it);
// only a string with a zero byte inside or more settings or files than a 32-bit count holds is refused.
std::vector<std::uint8_t> WriteManifest(const Manifest& manifest);

// Everything ReadManifest refuses that can be judged without the file around the manifest: string
// limits and zero bytes inside strings, fileCount below 1, and the path rules for `file`, `folder`,
// `setupName` and `iniFile`. FormatError names the field. The builder calls it before writing.
void CheckManifest(const Manifest& manifest);

}  // namespace kv::archive

// Reading the trailer and the manifest of an installer through its open file stream, after the
// checksum has passed. Everything is checked by the format library's bounds-checked reader.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "archive/format.h"
#include "archive/format_error.h"

namespace kv::ui {

struct LoadedManifest {
    std::vector<std::uint8_t> block;   // the manifest image as stored, trailing bytes included
    archive::Manifest manifest;        // the same, parsed and checked
    archive::ArchiveTrailer trailer;
    std::uint64_t manifestStart = 0;   // offset of the manifest in the file
    std::size_t headerEnd = 0;         // offset in `block` just behind the four header strings
};

// `fileSize` is the size the checksum pass saw. Throws archive::FormatError when the file is too
// short, the manifest length points outside the file or the manifest breaks a limit; throws
// std::bad_alloc when the manifest block cannot be allocated.
LoadedManifest LoadManifest(std::FILE* archive, std::uint64_t fileSize);

}  // namespace kv::ui

// The whole installer file: building one from a program image and entries, and opening one.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/format_error.h"

namespace kv::archive {

struct OpenedInstaller {
    Manifest manifest;
    ArchiveTrailer trailer;
    std::uint64_t manifestStart = 0;
    std::uint64_t fileSize = 0;
};

// Reads the trailer from the last 8 bytes of a file image (field "manifestLength" when shorter).
ArchiveTrailer ReadTrailer(std::span<const std::uint8_t> wholeFile);

// Verifies the checksum (FormatError with field "checksum" when it does not match), then reads the
// trailer (field "manifestLength" when the manifest would not fit in front of it) and the manifest
// through ReadManifest, whose entries must all lie in front of the manifest.
OpenedInstaller OpenInstaller(std::span<const std::uint8_t> wholeFile);

// Writes the program image, the entries back to back right after it, the manifest with its trailing
// zero byte (padded so the file length is a multiple of 8), manifestLength and the checksum.
// Fills every record's `offset` and `length` from `entries` (one per file record, in order).
// Refuses, naming the field, what a reader would refuse (see CheckManifest), a count of entries that
// differs from the count of records ("files"), and entries that would reach past 2 GiB.
std::vector<std::uint8_t> BuildInstaller(std::span<const std::uint8_t> programImage, Manifest manifest,
                                         const std::vector<std::vector<std::uint8_t>>& entries);

}  // namespace kv::archive

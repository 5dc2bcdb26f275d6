// The whole installer file: building one from a program image and entries, and the one reader that
// opens one, for the builder's tools and the installer alike.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/format_error.h"
#include "archive/read_at_source.h"

namespace kv::archive {

// Where a signed file keeps its Authenticode certificate table: behind the archive, to the end.
struct CertificateTable {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// What the checksum pass found: where the archive ends and whether its sum matches.
struct InstallerChecksum {
    std::uint64_t fileSize = 0;
    std::uint64_t archiveEnd = 0;  // the file size, or where a signed file's certificate table starts
    std::optional<CertificateTable> certificateTable;  // set for a signed file
    std::uint32_t computed = 0;                        // the sum by the rule in format.h
    std::uint32_t stored = 0;                          // the four bytes in front of archiveEnd
    bool readWhole = false;                            // false when a read came short: nothing above can be trusted
    bool matches() const { return readWhole && archiveEnd >= 4 && computed == stored; }
};

struct OpenedInstaller {
    Manifest manifest;
    ArchiveTrailer trailer;
    std::uint64_t manifestStart = 0;
    std::uint64_t fileSize = 0;
    std::uint64_t archiveEnd = 0;  // the trailer's end: the file size unless the file is signed
    std::optional<CertificateTable> certificateTable;
    std::vector<std::uint8_t> manifestBlock;  // the manifest as stored, trailing bytes included
    std::size_t headerEnd = 0;                // offset in manifestBlock just behind the four header strings
};

// Reads the trailer from the last 8 bytes of a file image (field "manifestLength" when shorter).
ArchiveTrailer ReadTrailer(std::span<const std::uint8_t> wholeFile);

// The checksum pass: finds the archive's end (in front of the certificate table of a signed file)
// and sums every byte in front of the stored checksum by the rule in format.h, in large reads.
InstallerChecksum ChecksumInstaller(ReadAtSource& source);

// After a checksum pass over the same source: refuses a checksum that does not match (FormatError
// "checksum"), then reads the trailer (field "manifestLength" when the manifest would not fit in front
// of it) and the manifest through ReadManifest, whose entries must all lie in front of the manifest.
// The manifest block is zero-filled before one read of its full length, and a short read is parsed as
// it stands. std::bad_alloc when the block cannot be allocated.
OpenedInstaller OpenInstaller(ReadAtSource& source, const InstallerChecksum& checksum);

// Both steps, over a source or a whole file in memory.
OpenedInstaller OpenInstaller(ReadAtSource& source);
OpenedInstaller OpenInstaller(std::span<const std::uint8_t> wholeFile);

// Writes the program image, the entries back to back right after it, the manifest with its trailing
// zero byte (padded so the file length is a multiple of 8), manifestLength and the checksum.
// Fills every record's `offset` and `length` from `entries` (one per file record, in order).
// Refuses, naming the field, what a reader would refuse (see CheckManifest), a count of entries that
// differs from the count of records ("files"), and entries that would reach past 2 GiB.
std::vector<std::uint8_t> BuildInstaller(std::span<const std::uint8_t> programImage, Manifest manifest,
                                         const std::vector<std::vector<std::uint8_t>>& entries);

}  // namespace kv::archive

// Opening a built installer for list, verify and extract, and looking inside its entries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "archive/installer_file.h"
#include "archive/szdd.h"

namespace kv::tools {

struct LoadedInstaller {
    std::vector<std::uint8_t> bytes;  // the whole file
    kv::archive::OpenedInstaller opened;
};

// Reads a whole installer file; ToolError kExitIoError when unreadable, kExitCorrupt when it is too
// short to be an installer.
std::vector<std::uint8_t> ReadInstallerBytes(const std::filesystem::path& path);

// Opens read bytes after the checksum pass `checksum` over them; ToolError kExitCorrupt naming the
// file and the field when the checksum or the manifest is wrong.
LoadedInstaller OpenLoadedInstaller(const std::filesystem::path& path, std::vector<std::uint8_t> bytes,
                                    const kv::archive::InstallerChecksum& checksum);

// Both, with the checksum pass in between.
LoadedInstaller LoadInstaller(const std::filesystem::path& path);

// The stored bytes of one record's entry; ToolError kExitCorrupt when it lies outside the file.
std::span<const std::uint8_t> EntryBytes(const LoadedInstaller& installer, const kv::archive::FileRecord& record);

// The size an entry expands to, and whether it is SZDD-compressed (the installer counts the same).
using kv::archive::szdd::ExpandedSize;
using kv::archive::szdd::IsCompressedEntry;

// The installed bytes of an entry; ToolError kExitCorrupt naming `what` when it does not expand
// cleanly (cut short, or data past its declared size).
std::vector<std::uint8_t> ExpandEntry(std::span<const std::uint8_t> entry, const std::string& what);

// "0x0001E328A"-style hexadecimal for messages.
std::string Hex(std::uint64_t value, int digits = 8);

}  // namespace kv::tools

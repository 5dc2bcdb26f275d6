// Opening a built installer for list, verify and extract, and looking inside its entries.
#include "tools/kvpack/opened_installer.h"

#include <cstdio>

#include "archive/little_endian.h"
#include "archive/szdd.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {

namespace szdd = kv::archive::szdd;

std::vector<std::uint8_t> ReadInstallerBytes(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes = ReadFileBytes(path, "installer");
    if (bytes.size() < kv::archive::kTrailerSize) {
        throw ToolError(kExitCorrupt,
                        path.string() + ": too short to be an installer (" + std::to_string(bytes.size()) + " bytes)");
    }
    return bytes;
}

LoadedInstaller OpenLoadedInstaller(const std::filesystem::path& path, std::vector<std::uint8_t> bytes,
                                    const kv::archive::InstallerChecksum& checksum) {
    LoadedInstaller installer;
    installer.bytes = std::move(bytes);
    kv::archive::SpanSource source(installer.bytes);
    try {
        installer.opened = kv::archive::OpenInstaller(source, checksum);
    } catch (const kv::archive::FormatError& error) {
        throw ToolError(kExitCorrupt, path.string() + ": " + error.what());
    }
    return installer;
}

LoadedInstaller LoadInstaller(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes = ReadInstallerBytes(path);
    kv::archive::SpanSource source(bytes);
    const kv::archive::InstallerChecksum checksum = kv::archive::ChecksumInstaller(source);
    return OpenLoadedInstaller(path, std::move(bytes), checksum);
}

std::span<const std::uint8_t> EntryBytes(const LoadedInstaller& installer, const kv::archive::FileRecord& record) {
    const std::uint64_t end = std::uint64_t{record.offset} + record.length;
    if (end > installer.bytes.size()) {
        throw ToolError(kExitCorrupt, "entry of " + record.file + " lies outside the file (offset " +
                                          std::to_string(record.offset) + ", length " + std::to_string(record.length) +
                                          ")");
    }
    return std::span(installer.bytes).subspan(record.offset, record.length);
}

std::vector<std::uint8_t> ExpandEntry(std::span<const std::uint8_t> entry, const std::string& what) {
    if (!IsCompressedEntry(entry)) return {entry.begin(), entry.end()};
    szdd::Expanded expanded = szdd::Expand(entry);
    switch (expanded.status) {
    case szdd::ExpandStatus::Ok:
    case szdd::ExpandStatus::NotSzdd:
        break;
    case szdd::ExpandStatus::Truncated:
        throw ToolError(kExitCorrupt, what + ": compressed data ends after " + std::to_string(expanded.bytes.size()) +
                                          " of " + std::to_string(ExpandedSize(entry)) + " bytes");
    case szdd::ExpandStatus::TrailingBytes:
        throw ToolError(kExitCorrupt, what + ": compressed data continues past the declared size of " +
                                          std::to_string(ExpandedSize(entry)) + " bytes");
    default:
        throw ToolError(kExitCorrupt, what + ": the SZDD header is not one the LZ service accepts (mode byte " +
                                          Hex(entry[szdd::kModeOffset], 2) + ")");
    }
    if (expanded.status == szdd::ExpandStatus::NotSzdd) return {entry.begin(), entry.end()};
    return std::move(expanded.bytes);
}

std::string Hex(std::uint64_t value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

}  // namespace kv::tools

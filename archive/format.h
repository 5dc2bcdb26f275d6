// The installer file, described once for the builder (writer) and the installer (reader).
//
//   offset 0                      program image (the installer program itself)
//   end of program image          entries: one SZDD file per FileRecord, back to back, in record order
//   size - 8 - manifestLength     Manifest: header strings, two FILETIMEs, settings, file records,
//                                 then trailing bytes (one zero byte, plus padding to a multiple of 8)
//   size - 8                      manifestLength  u32le
//   size - 4                      checksum        u32le: signed 8-bit sum of every byte before it
//
// Strings are 8-bit ANSI, zero-terminated, unaligned, no length prefix. Integers are little-endian.
// Nothing marks the start of the archive: it is found from the end of the file.
//
// Signed files. Authenticode signing (osslsigncode, signtool) appends a certificate table behind the
// trailer and rewrites two places in the program image's PE headers: the PE checksum field (optional
// header + 64, 4 bytes) and the security directory entry (data directory 4: table offset and size,
// 8 bytes). A file is signed when that entry is not zero, the table is at least 8 bytes long and
// runs exactly to the end of the file, and both places lie in front of the stored checksum.
//   - Unsigned file: the checksum is the signed byte sum of everything before the last 4 bytes, as
//     always, so every unsigned installer is read exactly as before.
//   - Signed file: the archive ends where the certificate table starts; the trailer is the 8 bytes in
//     front of it and the sum covers everything in front of the stored checksum, with the two
//     rewritten places counted as zeros, as the builder left them when it signed (kvpack zeroes them
//     in the program image before it runs a signing command; its own installer program is linked
//     with them zero, so a signature added by hand works as well).
// Any other changed byte, the table's position included, still fails the checksum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::archive {

// Field limits in characters, terminator not counted. A reader refuses anything longer.
inline constexpr std::size_t kTitleLimit = 124;
inline constexpr std::size_t kDisplayNameLimit = 207;  // the uninstall key path must fit 260 bytes
// A path in the platform's 260-byte (MAX_PATH) buffer with its terminator. Also the limit of
// setupName, defaultFolder, runFile, file, folder and value.
inline constexpr std::size_t kPathLimit = 259;
inline constexpr std::size_t kProgramsFolderLimit = 49;
inline constexpr std::size_t kShortFieldLimit = 99;       // iniFile, section, key, exeparms, iconName
inline constexpr std::uint32_t kMaxOffset = 0x7FFFFFFFu;  // offset must stay below 2^31

inline constexpr std::size_t kTrailerSize = 8;
inline constexpr char kUninstallerName[] = "Kvuninstall.exe";

// A FILETIME: 100-nanosecond intervals since 1601-01-01 00:00 UTC.
using FileTime = std::uint64_t;

struct SettingRecord {
    std::string iniFile;
    std::string section;
    std::string key;
    std::string value;
    std::uint32_t numeric = 0;  // 0: string setting with macros; otherwise written unchanged

    bool operator==(const SettingRecord&) const = default;
};

struct FileRecord {
    std::string file;
    std::string folder;
    std::string exeparms;
    std::uint32_t desktopIcon = 0;
    std::uint32_t programsIcon = 0;
    std::string iconName;
    std::uint32_t offset = 0;  // absolute position of the entry in the installer file
    std::uint32_t length = 0;  // stored (compressed) size of the entry

    bool operator==(const FileRecord&) const = default;
};

struct Manifest {
    std::string title;
    std::string displayName;
    std::string setupName;
    std::string defaultFolder;
    std::string runFile;
    std::string programsFolder;
    FileTime archiveDate = 0;
    FileTime uninstallerDate = 0;
    std::vector<SettingRecord> settings;  // settingCount is settings.size()
    std::vector<FileRecord> files;        // fileCount is files.size()

    bool operator==(const Manifest&) const = default;
};

struct ArchiveTrailer {
    std::uint32_t manifestLength = 0;
    std::uint32_t checksum = 0;

    bool operator==(const ArchiveTrailer&) const = default;
};

}  // namespace kv::archive

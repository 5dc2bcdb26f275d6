// The byte format of the uninstall data file Kvuninstall.dat, shared by the installer, the
// uninstaller and `kvpack log`. Plain C++, no Windows headers.
//
// The file is records back to back, with no header, count or trailer. Each record is:
//   kind      1 byte   0 file, 1 shortcut, 2 product (other values: read like a file record)
//   location  1 byte   shortcut records only: 1 Desktop, 0 Programs menu
//   folder    string   shortcut records whose location byte is 0: the Programs-menu subfolder
//   text      string   the file's path, the shortcut's caption or the product name
// A string is its 8-bit characters followed by one zero byte; an empty string is a lone zero byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv::uninstall {

inline constexpr std::uint8_t kKindFile = 0;
inline constexpr std::uint8_t kKindShortcut = 1;
inline constexpr std::uint8_t kKindProduct = 2;

inline constexpr std::int32_t kLocationPrograms = 0;
inline constexpr std::int32_t kLocationDesktop = 1;

struct UninstallRecord {
    std::uint8_t kind = kKindFile;
    std::int32_t location = 0;  // shortcut records: kLocationDesktop or kLocationPrograms
    std::string menuFolder;     // Programs-menu shortcuts only
    std::string text;

    // Two records are the same entry when all four fields are equal, strings byte for byte.
    bool operator==(const UninstallRecord&) const = default;
};

// Appends one record's bytes to `out`.
void EncodeRecord(const UninstallRecord& record, std::vector<std::uint8_t>& out);
std::vector<std::uint8_t> EncodeRecord(const UninstallRecord& record);

struct DecodedLog {
    std::vector<UninstallRecord> records;  // in file order, duplicates included
    // The bytes ended inside the last record. That record is kept, completed with what was read
    // (a missing location byte counts as 0, missing strings as empty or partly read).
    bool truncated = false;
    // The bytes of the whole records, where the next record must start.
    std::size_t completeBytes = 0;

    // The records that are whole: all of them, or all but the cut-short last one.
    std::span<const UninstallRecord> Complete() const { return {records.data(), records.size() - (truncated ? 1 : 0)}; }
};

// Reads every record of a data file's bytes. Never reads outside `bytes`. Strings are kept whole,
// even past the installer's path limit, so that comparing with new records stays exact and nothing
// is lost.
DecodedLog DecodeRecords(std::span<const std::uint8_t> bytes);

enum class DamageKind { UnknownKind, UnknownLocation, FileOutsideFolder, ShortcutLeavesFolder };

// A record that the uninstaller refuses to act on.
struct Damage {
    DamageKind kind;
    std::size_t record;  // counted from 1
    int value = 0;       // the unknown kind or location
    std::string path;    // the file, or the shortcut relative to its special folder
    std::string folder;  // the installation folder the file is not inside

    bool operator==(const Damage&) const = default;
};

// A damaged record: a kind other than file, shortcut or product, or a shortcut location other than
// Desktop or Programs menu. Nothing when all records are sound. The uninstaller refuses a file with
// such a record and `kvpack log` calls it damaged: one verdict for both. (An empty name is no damage of the
// format; a file record without a path is refused by FirstUnsafe when it is the product's.)
std::optional<Damage> FirstDamage(const std::vector<UninstallRecord>& records);

// A path in the one spelling the data file records: runs of backslashes after its first two
// characters (which may start a network path) collapse into one, so C:\App\\a.dll becomes
// C:\App\a.dll. Letter case is kept.
std::string CanonicalPath(const std::string& path);

// A path as Windows compares it: slashes count as backslashes, separator runs as one, a trailing
// separator as none, and letter case is ignored as Windows ignores it (here upper case, for the ASCII
// and the Windows-1252 letters). Equal forms name the same file.
std::string ComparablePath(const std::string& path);
bool SamePath(const std::string& a, const std::string& b);

// A one-line readable form, e.g. `shortcut programs "Grp" "App"`, for tools and test messages.
std::string DescribeRecord(const UninstallRecord& record);

}  // namespace kv::uninstall

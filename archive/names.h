// Naming rules shared by the reader, the builder and the installation run. Each answers which names
// are refused and why, as a value: every caller words its own message (the reader names the field,
// the builder the project line).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "archive/format.h"

namespace kv::archive {

// Windows takes either slash as a path separator.
inline bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// `first` and `second` with one separator between them, also behind a folder that already ends in
// one (a drive root such as C:\, or a folder typed with a trailing backslash): C:\\APP.EXE would
// otherwise reach the shortcuts, the registration's DisplayIcon and the run log.
inline std::string JoinPath(const std::string& first, const std::string& second) {
    if (!first.empty() && IsSeparator(first.back())) return first + second;
    return first + "\\" + second;
}

// The shortcut's file name: the caption up to its first "." (all of it when it has none) + ".lnk".
// The installer saves a shortcut under this name and the uninstaller finds it again by it.
std::string ShortcutFileName(const std::string& caption);

// The part of a caption that names the shortcut file, without ".lnk".
std::string_view ShortcutStem(std::string_view caption);

// Why a name cannot be one file inside a known folder, or None.
enum class FileNameFault {
    None,
    Separator,  // a "\" or "/": the file would land in another folder
    Colon,      // a drive or an alternate data stream
    NotAName,   // empty, or only dots and spaces: Windows trims it to nothing or to ".."
    Device,     // CON, NUL, COM1 and the like, with or without an extension: a device, not a file
    Trimmed,    // ends in a dot or a space, which Windows drops: "C.TXT." is the file "C.TXT"
};
FileNameFault PlainFileNameFault(std::string_view name);

// Whether Windows takes the path component `name` for a device: CON, PRN, AUX, NUL, COM1 to COM9 and
// LPT1 to LPT9 (also with the superscript digits 1, 2 and 3), letter case ignored, alone or before an
// extension, with blanks before the extension or at the end.
bool IsDeviceName(std::string_view name);

// Why a `folder` could land outside the installation folder, or None. Empty is allowed: the
// installation folder itself (for the uninstaller record the Windows directory). A folder may hold
// several levels (a\b\c), each checked by the same rules; one trailing separator is allowed, as
// archives have always had it.
enum class FolderFault {
    None,
    Absolute,      // begins with a separator
    Drive,         // has a colon
    LeavesFolder,  // a level of only dots and spaces with two dots or more climbs a level
    EmptyLevel,    // two separators in a row: Windows would fold them, the installer creates nothing
    DeviceName,    // a level such as CON or LPT1.txt names a device, not a folder
    Trimmed,       // a level that ends in a dot or a space, which Windows drops
};
FolderFault RelativeFolderFault(std::string_view folder);

// Why a `displayName` cannot name the product in the uninstaller's command line, or None. The
// registration writes it into WINDOWS\Kvuninstall.exe "FOLDER|NAME" /S, which the uninstaller splits
// at blanks and quotes, so the name must come back from it unchanged.
enum class ProductNameFault {
    None,
    EdgeBlank,  // a blank (or control character) at the start or end would be trimmed away
    Quote,      // a double quote would end the quoted argument
    QuietWord,  // a word "/S" would be taken for the quiet switch
};
ProductNameFault ProductNameFaultOf(std::string_view name);

// The first FileRecord is the uninstaller: it is stamped with `uninstallerDate`, lands in the
// Windows directory when its folder is empty, and is not entered in the uninstall data file.
inline bool IsUninstallerRecord(std::size_t index) { return index == 0; }

// What is wrong with the record that stands first, or None: it must be kUninstallerName exactly,
// with an empty folder so that it lands where the uninstall registration points.
enum class UninstallerFault { None, Name, Folder };
UninstallerFault UninstallerRecordFault(const FileRecord& record);

}  // namespace kv::archive

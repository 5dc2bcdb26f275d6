// Naming rules shared by the reader, the builder and the installation run.
#include "archive/names.h"

#include <algorithm>

#include "archive/ascii_case.h"

namespace kv::archive {
namespace {

// Windows drops trailing dots and spaces from path components, so "..", "... " and ". ." all climb
// a level and "", "." and " " name nothing.
bool OnlyDotsAndSpaces(std::string_view component) {
    return component.find_first_not_of(". ") == std::string_view::npos;
}

bool ClimbsALevel(std::string_view component) {
    return OnlyDotsAndSpaces(component) && std::count(component.begin(), component.end(), '.') >= 2;
}

}  // namespace

std::string_view ShortcutStem(std::string_view caption) { return caption.substr(0, caption.find('.')); }

std::string ShortcutFileName(const std::string& caption) { return std::string(ShortcutStem(caption)) + ".lnk"; }

FileNameFault PlainFileNameFault(std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) return FileNameFault::Separator;
    if (name.find(':') != std::string_view::npos) return FileNameFault::Colon;
    if (OnlyDotsAndSpaces(name)) return FileNameFault::NotAName;
    return FileNameFault::None;
}

bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (const char* device : {"con", "prn", "aux", "nul"}) {
        if (EqualsIgnoringCase(stem, device)) return true;
    }
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
    return EqualsIgnoringCase(stem.substr(0, 3), "com") || EqualsIgnoringCase(stem.substr(0, 3), "lpt");
}

FolderFault RelativeFolderFault(std::string_view folder) {
    if (!folder.empty() && IsSeparator(folder.front())) return FolderFault::Absolute;
    if (folder.find(':') != std::string_view::npos) return FolderFault::Drive;
    std::size_t start = 0;
    while (start < folder.size()) {
        std::size_t end = start;
        while (end < folder.size() && !IsSeparator(folder[end])) ++end;
        const std::string_view level = folder.substr(start, end - start);
        // An empty level at the very end is the trailing separator, which names no level.
        if (level.empty()) return FolderFault::EmptyLevel;
        if (ClimbsALevel(level)) return FolderFault::LeavesFolder;
        if (IsDeviceName(level)) return FolderFault::DeviceName;
        start = end + 1;
    }
    return FolderFault::None;
}

UninstallerFault UninstallerRecordFault(const FileRecord& record) {
    if (record.file != kUninstallerName) return UninstallerFault::Name;
    if (!record.folder.empty()) return UninstallerFault::Folder;
    return UninstallerFault::None;
}

}  // namespace kv::archive

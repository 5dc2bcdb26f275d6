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

// Windows drops these from the end of a path component.
bool EndsTrimmed(std::string_view component) {
    return !component.empty() && (component.back() == '.' || component.back() == ' ');
}

}  // namespace

bool IsDeviceName(std::string_view name) {
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    const auto is = [stem](std::string_view word) { return EqualsIgnoringCase(stem.substr(0, 3), word); };
    if (stem.size() == 3) return is("con") || is("prn") || is("aux") || is("nul");
    if (stem.size() != 4 || !(is("com") || is("lpt"))) return false;
    // The cp1252 superscript digits count as digits here: COM¹ is a port too.
    const auto digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

std::string_view ShortcutStem(std::string_view caption) { return caption.substr(0, caption.find('.')); }

std::string ShortcutFileName(const std::string& caption) { return std::string(ShortcutStem(caption)) + ".lnk"; }

FileNameFault PlainFileNameFault(std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) return FileNameFault::Separator;
    if (name.find(':') != std::string_view::npos) return FileNameFault::Colon;
    if (OnlyDotsAndSpaces(name)) return FileNameFault::NotAName;
    if (IsDeviceName(name)) return FileNameFault::Device;
    if (EndsTrimmed(name)) return FileNameFault::Trimmed;
    return FileNameFault::None;
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
        // Levels of dots and blanks alone (".") are left to the rules above.
        if (!OnlyDotsAndSpaces(level) && EndsTrimmed(level)) return FolderFault::Trimmed;
        start = end + 1;
    }
    return FolderFault::None;
}

UninstallerFault UninstallerRecordFault(const FileRecord& record) {
    if (record.file != kUninstallerName) return UninstallerFault::Name;
    if (!record.folder.empty()) return UninstallerFault::Folder;
    return UninstallerFault::None;
}

ProductNameFault ProductNameFaultOf(std::string_view name) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    if (!name.empty() && (blank(name.front()) || blank(name.back()))) return ProductNameFault::EdgeBlank;
    if (name.find('"') != std::string_view::npos) return ProductNameFault::Quote;
    std::size_t start = 0;
    while (start < name.size()) {
        std::size_t end = start;
        while (end < name.size() && !blank(name[end])) ++end;
        const std::string_view word = name.substr(start, end - start);
        if (word.size() == 2 && word[0] == '/' && (word[1] == 'S' || word[1] == 's'))
            return ProductNameFault::QuietWord;
        start = end + 1;
    }
    return ProductNameFault::None;
}

}  // namespace kv::archive

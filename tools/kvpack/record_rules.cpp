// The builder's checks on the names a record carries: the reader's rules first, then its own.
#include "tools/kvpack/record_rules.h"

#include <algorithm>

#include "archive/names.h"

namespace kv::tools {
namespace {

using kv::archive::FileNameFault;
using kv::archive::FolderFault;

std::optional<std::string> ForbiddenCharacter(std::string_view name) {
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20) return "contains a control character";
        if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*') {
            return std::string("contains '") + c + "', which Windows does not allow in names";
        }
    }
    return std::nullopt;
}

// Builder-only: what the reader lets through but Windows would refuse or rename.
std::optional<std::string> WindowsNameProblem(std::string_view name) {
    if (name == ".") return "\".\" is not a name";
    if (auto bad = ForbiddenCharacter(name)) return bad;
    // Windows drops trailing dots and spaces, so the installed name would differ from the record.
    if (name.back() == '.' || name.back() == ' ') return "must not end with a dot or a space";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FileNameProblem(std::string_view name) {
    switch (kv::archive::PlainFileNameFault(name)) {
    case FileNameFault::Separator:
        return "must not contain a path separator";
    case FileNameFault::Colon:
        return "must not contain a colon (drive or stream)";
    case FileNameFault::NotAName:
        if (name.empty()) return "must not be empty";
        return "\"" + std::string(name) + "\" is not a name";
    case FileNameFault::Device:
        return "\"" + std::string(name) + "\" names a device (CON, NUL, COM1 and the like), not a file";
    case FileNameFault::Trimmed:  // the builder's own wording below
    case FileNameFault::None:
        break;
    }
    return WindowsNameProblem(name);
}

std::optional<std::string> FolderProblem(std::string_view folder) {
    switch (kv::archive::RelativeFolderFault(folder)) {
    case FolderFault::Absolute:
        return "must be relative to the installation folder";
    case FolderFault::Drive:
        return "must be relative to the installation folder (no drive)";
    case FolderFault::LeavesFolder:
        return "must not leave the installation folder (\"..\")";
    case FolderFault::EmptyLevel:
        return "must not have an empty level (two separators in a row)";
    case FolderFault::DeviceName:
        return "a level names a Windows device (CON, NUL, COM1...)";
    case FolderFault::Trimmed:  // the builder's own wording below
    case FolderFault::None:
        break;
    }
    // Each level is a name that Windows keeps as written; the trailing separator ends none.
    std::size_t start = 0;
    while (start < folder.size()) {
        const std::size_t end = std::min(folder.find_first_of("\\/", start), folder.size());
        if (auto bad = WindowsNameProblem(folder.substr(start, end - start))) {
            return "level \"" + std::string(folder.substr(start, end - start)) + "\" " + *bad;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::string> MenuFolderProblem(std::string_view folder) {
    if (auto bad = FolderProblem(folder)) return bad;
    if (folder.find_first_of("\\/") != std::string_view::npos) return "one folder level only";
    return std::nullopt;
}

std::optional<std::string> IconNameProblem(std::string_view iconName) {
    const std::string_view stem = kv::archive::ShortcutStem(iconName);
    switch (kv::archive::PlainFileNameFault(stem)) {
    case FileNameFault::Separator:
    case FileNameFault::Colon:
        return "the text before the first \".\" names the shortcut file and must not contain \\ / or :";
    case FileNameFault::NotAName:
        if (stem.empty()) return "the text before the first \".\" names the shortcut file and must not be empty";
        break;  // only spaces: the trailing-space rule below says why
    case FileNameFault::Device:
        return "the text before the first \".\" names the shortcut file and must not name a device";
    case FileNameFault::Trimmed:
    case FileNameFault::None:
        break;
    }
    if (auto bad = ForbiddenCharacter(stem)) return "the shortcut file name " + *bad;
    if (stem.back() == ' ') return "the text before the first \".\" must not end with a space";
    return std::nullopt;
}

}  // namespace kv::tools

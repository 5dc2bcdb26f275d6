// Checks on the names a FileRecord carries.
#include "tools/kvpack/record_rules.h"

#include <algorithm>

namespace kv::tools {
namespace {

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

std::optional<std::string> SingleNameProblem(std::string_view name) {
    if (name == "." || name == "..") return "\"" + std::string(name) + "\" is not a name";
    if (name.find_first_of("\\/") != std::string_view::npos) return "must not contain a path separator";
    if (name.find(':') != std::string_view::npos) return "must not contain a colon (drive or stream)";
    if (auto bad = ForbiddenCharacter(name)) return bad;
    // Windows drops trailing dots and spaces, so the installed name would differ from the record.
    if (name.back() == '.' || name.back() == ' ') return "must not end with a dot or a space";
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FileNameProblem(std::string_view name) {
    if (name.empty()) return "must not be empty";
    return SingleNameProblem(name);
}

std::optional<std::string> FolderProblem(std::string_view folder) {
    if (folder.empty()) return std::nullopt;
    if (folder.front() == '\\' || folder.front() == '/') return "must be relative to the installation folder";
    if (folder.size() >= 2 && folder[1] == ':') return "must be relative to the installation folder (no drive)";
    std::size_t start = 0;
    while (start <= folder.size()) {
        const std::size_t end = std::min(folder.find_first_of("\\/", start), folder.size());
        if (folder.substr(start, end - start) == "..") return "must not leave the installation folder (\"..\")";
        start = end + 1;
    }
    if (folder.find_first_of("\\/") != std::string_view::npos) {
        return "one folder level only: the installer creates a single missing folder";
    }
    return SingleNameProblem(folder);
}

std::optional<std::string> IconNameProblem(std::string_view iconName) {
    const std::string_view stem = iconName.substr(0, iconName.find('.'));
    if (stem.empty()) return "the text before the first \".\" names the shortcut file and must not be empty";
    if (stem.find_first_of("\\/:") != std::string_view::npos) {
        return "the text before the first \".\" names the shortcut file and must not contain \\ / or :";
    }
    if (auto bad = ForbiddenCharacter(stem)) return "the shortcut file name " + *bad;
    if (stem.back() == ' ') return "the text before the first \".\" must not end with a space";
    return std::nullopt;
}

}  // namespace kv::tools

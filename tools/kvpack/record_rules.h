// Checks on the names a FileRecord carries, stricter than the reader's so that a built installer
// also installs cleanly on Windows. Each returns what is wrong, or nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::tools {

// `file`: one file name, no folder part, no drive, not "." or "..", only characters Windows allows.
std::optional<std::string> FileNameProblem(std::string_view name);

// `folder`: empty, or one folder name inside the installation folder. The installer creates a single
// missing level, so a nested path would fail at install time and is refused here.
std::optional<std::string> FolderProblem(std::string_view folder);

// `iconName`: its text up to the first "." plus ".lnk" becomes the shortcut's file name.
std::optional<std::string> IconNameProblem(std::string_view iconName);

}  // namespace kv::tools

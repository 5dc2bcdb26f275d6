// The builder's checks on the names a record carries. Each first applies the reader's rule from
// archive/names.h (what any installer refuses) and then adds the builder's own, stricter ones, so
// that a built installer also installs cleanly on Windows. Each returns what is wrong, or nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::tools {

// `file`, `setupName`, `iniFile`: the reader's plain file name, and not empty, without characters
// Windows refuses in names, not ending with a dot or a space (Windows would drop them).
std::optional<std::string> FileNameProblem(std::string_view name);

// `folder`, `programsFolder`: the reader's relative folder, and empty or one folder name only: the
// installer creates a single missing level, so a nested path would fail at install time.
std::optional<std::string> FolderProblem(std::string_view folder);

// `iconName`: its shortcut stem (the text up to the first ".") must be a plain file name that
// Windows accepts, since the shortcut is saved under it.
std::optional<std::string> IconNameProblem(std::string_view iconName);

}  // namespace kv::tools

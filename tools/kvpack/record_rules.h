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

// `folder`: the reader's relative folder, any number of levels, each a name Windows keeps as written.
std::optional<std::string> FolderProblem(std::string_view folder);

// `programsFolder`: a folder as above of one level only, the one shortcut group the installer makes.
std::optional<std::string> MenuFolderProblem(std::string_view folder);

// `iconName`: its shortcut stem (the text up to the first ".") must be a plain file name that
// Windows accepts, since the shortcut is saved under it.
std::optional<std::string> IconNameProblem(std::string_view iconName);

}  // namespace kv::tools

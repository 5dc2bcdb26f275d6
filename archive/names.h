// Naming rules shared by the builder, the installation run and the uninstaller.
#pragma once

#include <string>

namespace kv::archive {

// The shortcut's file name: the caption up to its first "." (all of it when it has none) + ".lnk".
// The installer saves a shortcut under this name and the uninstaller finds it again by it.
std::string ShortcutFileName(const std::string& caption);

}  // namespace kv::archive

// Desktop and Programs-menu shortcuts to placed files.
#pragma once

#include <string>

#include "install/system.h"

namespace kv::install {

// The shortcut's file name: the caption up to its first "." (all of it when it has none) + ".lnk".
std::string ShortcutFileName(const std::string& caption);

// Creates a shortcut on the Desktop (location non-zero) or in the Programs-menu subfolder
// `menuFolder` (location 0; one missing level is created). 1 when the shortcut file was saved,
// 0 on any failure.
int CreateShortcut(System& system, int location, const std::string& menuFolder, const std::string& target,
                   const std::string& caption, const std::string& workingDirectory, const std::string& arguments);

}  // namespace kv::install

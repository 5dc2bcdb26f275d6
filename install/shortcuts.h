// Desktop and Programs-menu shortcuts to placed files.
#pragma once

#include <string>

#include "os/system.h"

namespace kv::install {

enum class ShortcutPlace { Desktop, ProgramsMenu };

// Creates a shortcut on the Desktop or in the Programs-menu subfolder `menuFolder` (one missing
// level is created). True when the shortcut file was saved.
bool CreateShortcut(os::System& system, ShortcutPlace place, const std::string& menuFolder, const std::string& target,
                    const std::string& caption, const std::string& workingDirectory, const std::string& arguments);

}  // namespace kv::install

// Desktop and Programs-menu shortcuts to placed files.
#pragma once

#include <string>

#include "os/system.h"

namespace kv::install {

// Creates a shortcut on the Desktop (location non-zero) or in the Programs-menu subfolder
// `menuFolder` (location 0; one missing level is created). 1 when the shortcut file was saved,
// 0 on any failure.
int CreateShortcut(os::System& system, int location, const std::string& menuFolder, const std::string& target,
                   const std::string& caption, const std::string& workingDirectory, const std::string& arguments);

}  // namespace kv::install

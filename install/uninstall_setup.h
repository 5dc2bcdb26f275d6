// The run's closing step for the uninstaller: the data file closed and time-stamped, and the product
// entered in the operating system's list of installed programs.
#pragma once

#include <optional>
#include <string>

#include "install/file_placement.h"

namespace kv::install {

// Closes `placed.log`, stamps the data file with the time of completion and registers the product
// with what the placement left: the folder, the runFile's path and the placed files' size. Nothing
// when the product can be uninstalled; otherwise the warning that says why it cannot (a data file
// not written completely, a refused registration). Neither stops the run.
std::optional<std::string> SetUpUninstall(PlacementContext& placed);

}  // namespace kv::install

// Quiet mode (OptQ): the installation without any window, for deployment tools. Every message the
// loader or the run would show in a box goes to the run log instead, and the run ends as that box
// would have ended it.
#pragma once

#include <optional>
#include <string>

#include "os/run_log.h"
#include "startup/exit_codes.h"

namespace kv::app {

// `commandLine` is the text after the program's name without the log and folder options;
// `executableName` the module's name without folder and extension, `modulePath` its full path;
// `chosenFolder` the folder of
// OptDIR. Returns the process exit code.
startup::ExitCode RunQuietInstallation(const std::string& commandLine, const std::string& executableName,
                                       const std::string& modulePath, const std::optional<std::string>& chosenFolder,
                                       os::RunLog& log);

}  // namespace kv::app

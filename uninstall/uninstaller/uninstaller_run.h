// One run of the uninstaller: check the command line and the data file, ask, remove the product's
// files, shortcuts and empty folders, rewrite or delete the data file, and drop its registry key.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "os/run_log.h"
#include "uninstall/uninstaller/removal_system.h"

namespace kv::uninstall {

inline constexpr char kUninstallCaption[] = "Korvalin Uninstaller";
// A file in use is tried this many times in all, with a pause before each new pass.
inline constexpr int kRemoveTries = 5;
inline constexpr unsigned kRetryPauseMs = 500;

struct UninstallOutcome {
    int exitCode = 0;                     // an UninstallExitCode
    std::string message;                  // what the user was told (or would have been, when quiet)
    std::vector<std::string> notRemoved;  // files, shortcuts and other parts left behind
};

// `arguments` is the command line after the program's name. Each file removed, kept for another
// product or left behind, the registry key, the data file and the closing message are lines of `log`.
UninstallOutcome RunUninstall(RemovalSystem& system, std::string_view arguments,
                              os::RunLog& log = os::OrNullLog(nullptr));

}  // namespace kv::uninstall

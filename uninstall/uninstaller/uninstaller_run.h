// One run of the uninstaller: check the command line and the data file, ask, remove the product's
// files, shortcuts and empty folders, rewrite or delete the data file, and drop its registry key.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/run_log.h"
#include "uninstall/uninstaller/exit_codes.h"
#include "uninstall/uninstaller/removal_plan.h"
#include "uninstall/uninstaller/removal_system.h"

namespace kv::uninstall {

// A file in use is tried this many times in all, with a pause before each new pass.
inline constexpr int kRemoveTries = 5;
inline constexpr unsigned kRetryPauseMs = 500;

// How a run ended, with what its message names (OutcomeText).
struct UninstallOutcome {
    UninstallExitCode exitCode = kUninstallRemoved;  // the kind of ending
    std::string subject;                             // the product, or the command line that could not be used
    std::string dataFile;  // the data file that is missing, damaged or lacks the product; the folder when not installed
    std::optional<Damage> damage;         // the first record refused
    std::vector<std::string> notRemoved;  // files, shortcuts and other parts left behind
};

// `arguments` is the command line after the program's name. Each file removed, kept for another
// product or left behind, the registry key, the data file and the closing message are lines of `log`.
UninstallOutcome RunUninstall(RemovalSystem& system, std::string_view arguments,
                              os::RunLog& log = os::OrNullLog(nullptr));

}  // namespace kv::uninstall

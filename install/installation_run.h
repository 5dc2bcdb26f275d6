// The installation run: from the folder the user typed to the registered, installed product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive/format.h"
#include "archive/read_at_source.h"
#include "install/failure.h"
#include "install/run_ui.h"
#include "os/run_log.h"
#include "os/system.h"

namespace kv::install {

// The dialog's working state that a run reads. Filled by the dialog's initialisation.
struct RunState {
    const archive::Manifest* manifest = nullptr;  // the parsed manifest (never null during a run)
    std::string title;                            // the title box's text (m_strTitle), normally manifest->title
    std::string windowsDirectory;                 // as reported at initialisation: the profile settings' folder and
                                                  // the system folder of the first record and the registration
    std::string startupDirectory;                 // the current directory at initialisation
    std::string archivePath;                      // the installer's own file, its full module path
    bool useCurrentFolder = false;                // set: the installer is not copied into the folder
    std::string commandLine;                      // the whole process command line, for the option test
    archive::ReadAtSource* entries = nullptr;     // the open installer file, read at absolute offsets
    os::RunLog* log = nullptr;                    // where each step is written; none: nothing is logged
};

// How a run ended; the dialog turns it into its ending and the process exit code.
enum class RunOutcome {
    Completed,  // everything placed and registered; the dialog closes as after Exit
    // Everything placed, but the data file was not written completely or the registration was
    // refused, so the product cannot be uninstalled: a warning said which. Otherwise as Completed.
    CompletedNotUninstallable,
    FolderRefused,    // the folder text held a forbidden character; the dialog stays usable
    Failed,           // the dialog shows the failure and ends; what was done stays
    LicenseDeclined,  // nothing was placed; the dialog closes as after Exit, without a message
    Launched,         // launch mode found runFile and started it; nothing was placed
    LaunchFailed,     // launch mode found runFile but could not start it; nothing was placed
};

// The outcome, and for FolderRefused and Failed what the dialog shows (as an installation failure).
struct RunResult {
    RunOutcome outcome = RunOutcome::Completed;
    std::optional<Failure> failure;
};

// The whole run. `fromInstallNow` false is the launch mode (OptNIN). Questions and warnings that
// come up while it goes on are asked through `ui`; the closing message is in the result.
RunResult RunInstallation(RunState& state, os::System& system, RunUi& ui, bool fromInstallNow);

// Creates every missing component of `path`; true when the folder exists afterwards.
bool CreateFolderPath(os::System& system, const std::string& path);

// Whether a folder text holds one of / * ? " < > |.
bool HasForbiddenFolderCharacter(const std::string& folderText);

}  // namespace kv::install

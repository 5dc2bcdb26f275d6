// The installer's process exit codes, so that a distribution script can tell how a start ended.
#pragma once

#include "install/installation_run.h"

namespace kv::startup {

enum ExitCode : int {
    kExitInstalled = 0,          // the installation completed, or launch mode started the installed program
    kExitCancelled = 1,          // the user left with Exit, Escape or the close box before any run
    kExitArchiveMissing = 2,     // the installer could not open its own file ("Could not open the archive")
    kExitArchiveCorrupt = 3,     // checksum mismatch or a manifest the reader refuses ("File is corrupt")
    kExitOutOfMemory = 4,        // the manifest could not be loaded into memory
    kExitInstallFailed = 5,      // the installation run stopped with a message; what was placed stays
    kExitLicenseDeclined = 6,    // the user did not accept the licence agreement
    kExitFolderRefused = 7,      // launch mode: the installation folder held a forbidden character
    kExitStartupFailed = 8,      // COM or the main dialog could not be started; no window was shown
    kExitInternalError = 9,      // an unexpected error was caught and reported
    kExitNotUninstallable = 10,  // installed, but it cannot be uninstalled: the data file or the registration failed
    kExitLaunchFailed = 11,      // launch mode found the installed program but could not start it
};

// How a run that ends the installer ends it. A refused folder ends it only where nobody can type
// another one (launch mode, quiet mode); after Install Now the dialog stays open instead.
inline ExitCode RunExitCode(install::RunOutcome outcome) {
    switch (outcome) {
    case install::RunOutcome::Completed:
    case install::RunOutcome::Launched:
        return kExitInstalled;
    case install::RunOutcome::CompletedNotUninstallable:
        return kExitNotUninstallable;
    case install::RunOutcome::FolderRefused:
        return kExitFolderRefused;
    case install::RunOutcome::Failed:
        return kExitInstallFailed;
    case install::RunOutcome::LicenseDeclined:
        return kExitLicenseDeclined;
    case install::RunOutcome::LaunchFailed:
        return kExitLaunchFailed;
    }
    return kExitInternalError;
}

}  // namespace kv::startup

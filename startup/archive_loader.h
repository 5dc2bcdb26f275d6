// The loader: the installer's own file opened by its module path, its checksum,
// its manifest and the default installation folder. The main dialog and quiet mode both start
// with it; each tells a failure its own way (a message box, or the run log).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "archive/format.h"
#include "archive/installer_file.h"
#include "install/failure.h"
#include "install/installation_run.h"
#include "os/run_log.h"
#include "os/system.h"
#include "startup/exit_codes.h"
#include "startup/installer_stream.h"

namespace kv::startup {

// Holds the installer's open file from OpenAndVerify to CloseFile or its own end.
class ArchiveLoader {
public:
    // Opens the installer's own file, `modulePath` (the full path the system loaded it from), and
    // sums every byte of it. Neither the current directory nor the command line decides which file
    // that is. A failure names "<executableName>.exe".
    install::Result OpenAndVerify(const std::string& executableName, const std::string& modulePath);
    // After OpenAndVerify: reads the manifest, asks for the Windows directory and resolves the
    // default installation folder (the current directory with `useCurrentFolder`). A `chosenFolder`
    // (OptDIR) is the installation folder instead, whatever the manifest or OptUCD say, taken as
    // typed: the run checks it like any typed folder.
    install::Result LoadManifest(os::System& system, bool useCurrentFolder,
                                 const std::optional<std::string>& chosenFolder = std::nullopt);
    // The run's state over what was loaded, for the dialog and quiet mode alike: `title` is the
    // title the window shows, `startupDirectory` the current directory after the working-directory
    // change, `commandLine` the whole command line for the option test.
    install::RunState RunState(std::string title, std::string startupDirectory, std::string commandLine,
                               os::RunLog* log);
    void CloseFile() { m_file.Close(); }

    std::string m_strArchivePath;  // "<executableName>.exe", as messages name the file
    std::string m_strModulePath;   // the file itself
    std::unique_ptr<archive::Manifest> m_pManifest;
    std::string m_strWindowsDir;
    std::string m_strInstallFolder;
    bool m_bUseCurrentFolder = false;

private:
    InstallerStream m_file;
    archive::InstallerChecksum m_checksum{};
};

// The exit code that a failure of the loader ends the installer with.
ExitCode LoadFailureExitCode(const install::Failure& failure);

}  // namespace kv::startup

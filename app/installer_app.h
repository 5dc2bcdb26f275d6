// The installer's application object: records the command line and executable name, runs the
// main dialog modally and keeps the process exit code.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "os/run_log.h"
#include "startup/exit_codes.h"

namespace kv::app {

class CInstallerApp {
public:
    CInstallerApp() = default;
    virtual ~CInstallerApp() = default;
    CInstallerApp(const CInstallerApp&) = delete;
    CInstallerApp& operator=(const CInstallerApp&) = delete;

    // Process start-up: records the command line after the program's name and the executable
    // name, runs InitInstance and returns the exit code it left.
    int Run(const char* processCommandLine, const char* modulePath);

    // COM for the thread, the common controls, the modal main dialog. Returns 0 always: there is
    // no message loop of the application's own.
    // With OptQ, the quiet installation instead of the dialog; with OptLOG=path (or in quiet mode),
    // a run log; with OptDIR=path, that installation folder.
    virtual BOOL InitInstance();

    std::string m_lpCmdLine;      // the text after the program's own name
    std::string m_pszExeName;     // the module's file name without folder and extension
    std::string m_strModulePath;  // the module's full path: the installer's own file
    startup::ExitCode m_nExitCode = startup::kExitStartupFailed;

private:
    void RunWithLog(const std::string& commandLine, const std::optional<std::string>& chosenFolder, bool quiet,
                    os::RunLog& log);
};

}  // namespace kv::app

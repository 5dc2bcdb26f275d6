// Start-up of the installer: COM, common controls, the main dialog.
#include "app/installer_app.h"

#include <commctrl.h>
#include <ole2.h>

#include <string>

#include "app/quiet_install.h"
#include "archive/options.h"
#include "os/dll_search.h"
#include "os/win32_run_log.h"
#include "startup/command_line.h"
#include "ui/installer_dlg.h"

namespace kv::app {

namespace {

// "%TEMP%\Kvsetup.log": where a quiet installation logs when no log was named. Empty when Windows
// names no temporary folder. (Here rather than beside the log's file code, which the uninstaller
// links too.) Where the system has GetTempPath2, that names it: for SYSTEM the temporary folder only
// administrators can write to, instead of the Windows temporary folder that every user can; for
// other accounts the same folder as GetTempPath. Without it the log file's own checks hold.
std::string DefaultInstallLogPath() {
    char folder[MAX_PATH + 1] = {};
    using TempPathFunction = DWORD(WINAPI*)(DWORD, LPSTR);
    const auto tempPath2 = os::ProcAddress<TempPathFunction>(::GetModuleHandleA("kernel32.dll"), "GetTempPath2A");
    const DWORD length =
        tempPath2 != nullptr ? tempPath2(sizeof folder, folder) : ::GetTempPathA(sizeof folder, folder);
    if (length == 0 || length >= sizeof folder) return {};
    std::string path(folder, length);
    if (path.back() != '\\') path += '\\';
    return path + "Kvsetup.log";
}

}  // namespace

int CInstallerApp::Run(const char* processCommandLine, const char* modulePath) {
    m_lpCmdLine =
        std::string(archive::ArgumentsAfterProgramName(processCommandLine != nullptr ? processCommandLine : ""));
    m_strModulePath = modulePath != nullptr ? modulePath : "";
    m_pszExeName = startup::ExecutableNameFromPath(m_strModulePath);
    InitInstance();
    return m_nExitCode;
}

BOOL CInstallerApp::InitInstance() {
    // The log path is no part of the option text: a path such as C:\OptNP\setup.log switches on
    // nothing. Quiet mode always logs, to %TEMP%\Kvsetup.log unless told otherwise.
    // The same holds for the folder of OptDIR.
    const startup::LogOption logOption = startup::SplitLogOption(m_lpCmdLine);
    const startup::FolderOption folderOption = startup::SplitFolderOption(logOption.commandLine);
    // A quiet request anywhere wins, even inside a value that stray quotes made too long: a run
    // meant to be quiet must never wait for a person.
    const bool quiet = archive::OptionPresent("OptQ", m_lpCmdLine.c_str());
    // Nor may Windows ask on its behalf: a drive without media, or a DLL or file that cannot be
    // opened, fails the call instead of showing a system error box.
    if (quiet) ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    os::Win32RunLog log(!logOption.path.empty() ? logOption.path : quiet ? DefaultInstallLogPath() : "");
    log.Line({"Command line: ", m_lpCmdLine});
    RunWithLog(folderOption.commandLine, folderOption.folder, quiet, log);
    log.Line({"Exit code ", std::to_string(static_cast<int>(m_nExitCode))});
    return FALSE;
}

void CInstallerApp::RunWithLog(const std::string& commandLine, const std::optional<std::string>& chosenFolder,
                               bool quiet, os::RunLog& log) {
    // Quiet mode shows no window, so it needs no OLE, and the shell links start the component
    // library themselves when there is one to make: starting it costs Wine a quarter of a second.
    if (quiet) {
        m_nExitCode = RunQuietInstallation(commandLine, m_pszExeName, m_strModulePath, chosenFolder, log);
        return;
    }
    // The folder browser needs OLE on this thread; without it the installer ends before any window.
    if (FAILED(::OleInitialize(nullptr))) {
        log.Line("COM could not be started");
        m_nExitCode = startup::kExitStartupFailed;
        return;
    }
    // No ActiveX controls are hosted in the dialogs, so there is no control container to enable.
    // The progress bar's window class comes from the common controls, loaded from the system
    // folder (comctl32.dll is not one of the KnownDLLs). Without them the dialog cannot be made,
    // and that failure is the one reported.
    // They load the theme library when they first draw, and the version 6 controls delay-load
    // msimg32 for their first AlphaBlend, both under Wine without the search limit: taken from the
    // system folder first, these are the ones they find.
    os::LoadSystemLibrary("uxtheme.dll");
    os::LoadSystemLibrary("msimg32.dll");
    using InitFunction = decltype(&::InitCommonControlsEx);
    const auto init = os::ProcAddress<InitFunction>(os::LoadSystemLibrary("comctl32.dll"), "InitCommonControlsEx");
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    if (init != nullptr) init(&controls);
    {
        // The licence dialog finds this dialog as its owner among the thread's windows, so
        // the application keeps no main-window handle of its own.
        ui::CInstallerDlg dialog(commandLine, m_pszExeName, m_strModulePath, nullptr, &log, chosenFolder);
        const INT_PTR result = dialog.DoModal();
        m_nExitCode = result == -1 ? startup::kExitStartupFailed : dialog.ExitCode();
    }
    ::OleUninitialize();
}

}  // namespace kv::app

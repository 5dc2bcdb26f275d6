// The installer's main dialog: title, installation folder, progress bar, Install Now and Exit.
// It also holds the installer's working state, which its initialisation loads from the archive.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "install/failure.h"
#include "install/installation_run.h"
#include "install/run_ui.h"
#include "os/run_log.h"
#include "startup/archive_loader.h"
#include "startup/exit_codes.h"
#include "ui/dialog.h"
#include "ui/window.h"

namespace kv::ui {

class CInstallerDlg : public CDialog, public install::RunUi {
public:
    // `commandLine` is the text after the program's name, `executableName` the module's file name
    // without folder and extension, `modulePath` its full path (the file the archive is read from).
    // `log`, when given, gets the run's steps and every message the dialog shows. `chosenFolder`
    // (OptDIR) fills the folder box instead of the archive's default folder.
    CInstallerDlg(std::string commandLine, std::string executableName, std::string modulePath, HWND parent = nullptr,
                  os::RunLog* log = nullptr, std::optional<std::string> chosenFolder = std::nullopt);

    // Advances the progress bar by 100 / fileCount + 1 positions; no step for fileCount 0.
    void StepProgress(int fileCount) override;
    // The installation run; `fromInstallNow` false is the launch mode.
    void RunInstallation(bool fromInstallNow);

    // The process exit code for the way the dialog ended.
    startup::ExitCode ExitCode() const {
        return m_nExitCode < 0 ? startup::kExitCancelled : static_cast<startup::ExitCode>(m_nExitCode);
    }

    // Closes the installer's file, then ends the dialog with IDCANCEL.
    void OnCancel() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnTimer(UINT_PTR timerId) override;
    bool OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnUnhandledException(const char* what) override;

    void OnInstallNow();
    void OnBrowse();

    // What the installation run asks of its window while it goes on.
    std::string ReadFolderText() override;
    void DisableControls() override;
    bool ShowLicense(const std::string& licenseFile) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;

private:
    // Loader steps of the initialisation; false after a failure has been reported.
    bool LoadArchive(bool useCurrentFolder);
    void ReportLoadFailure(const install::Failure& failure);
    // Shows the run's closing message, if any, and ends the dialog as the outcome asks.
    void FinishRun(const install::RunResult& result, bool fromInstallNow);
    bool OptionGiven(const char* option) const;
    void DisableFolderControls();

public:
    CButton m_btnInstall;
    CButton m_btnExit;
    CButton m_btnBrowse;
    CEdit m_editFolder;
    CProgressCtrl m_progress;
    std::string m_strFolder;
    std::string m_strTitle;  // the title box's text: the manifest's title
    HICON m_hIcon = nullptr;
    // The installer's file and what was loaded from it. Its manifest is released when a run ends,
    // since one manifest serves one run; null before a successful load.
    startup::ArchiveLoader m_loader;
    std::string m_strMessage;

    std::string m_strInstallFolder;  // defaultFolder resolved onto the Windows drive; Browse replaces it
    std::string m_strStartupDir;

private:
    bool m_bRunning = false;  // set while a run is in progress: a posted Install Now must not start another
    int m_nExitCode = -1;     // -1 until something decides how the dialog ends
    const std::string m_strCommandLine;
    const std::string m_strExecutableName;
    const std::string m_strModulePath;
    const std::optional<std::string> m_strChosenFolder;  // OptDIR's folder, when given
    os::RunLog* m_pLog;
};

}  // namespace kv::ui

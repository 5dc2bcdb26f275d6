// The main dialog's construction, data exchange and message handlers.
#include "ui/installer_dlg.h"

#include "archive/options.h"
#include "install/installation_run.h"
#include "install/messages.h"
#include "install/product_texts.h"
#include "os/win32_system.h"
#include "ui/dialog_arithmetic.h"
#include "ui/folder_browser.h"
#include "ui/license_dlg.h"
#include "ui/resource.h"

namespace kv::ui {

namespace {
constexpr UINT_PTR kAutoStartTimer = 0;
constexpr int kFolderTextLimit = 260;
}  // namespace

CInstallerDlg::CInstallerDlg(std::string commandLine, std::string executableName, std::string modulePath, HWND parent,
                             os::RunLog* log, std::optional<std::string> chosenFolder)
    : CDialog(IDD_INSTALLER_DIALOG, parent),
      m_strCommandLine(std::move(commandLine)),
      m_strExecutableName(std::move(executableName)),
      m_strModulePath(std::move(modulePath)),
      m_strChosenFolder(std::move(chosenFolder)),
      m_pLog(log) {
    m_hIcon = static_cast<HICON>(::LoadImageA(ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, 0, 0,
                                              LR_DEFAULTSIZE | LR_SHARED));
}

void CInstallerDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_INSTALL_NOW, m_btnInstall);
    DDX_Control(pDX, IDCANCEL, m_btnExit);
    DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_FOLDER, m_editFolder);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_FOLDER, m_strFolder);
    DDV_MaxChars(pDX, m_strFolder, kFolderTextLimit);
    DDX_Text(pDX, IDC_TITLE, m_strTitle);
}

bool CInstallerDlg::OptionGiven(const char* option) const {
    return archive::OptionPresent(option, m_strCommandLine.c_str());
}

void CInstallerDlg::DisableFolderControls() {
    m_editFolder.EnableWindow(FALSE);
    m_btnBrowse.EnableWindow(FALSE);
}

void CInstallerDlg::StepProgress(int fileCount) {
    const int step = ProgressStep(fileCount);
    // A full bar would only be painted again: with hundreds of files those repaints cost a third of
    // the run's requests to the window system, and the bar looks the same without them.
    if (step > 0 && m_progress.GetPos() < m_progress.GetRangeUpper()) {
        m_progress.OffsetPos(step);
    }
}

bool CInstallerDlg::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (id == IDC_INSTALL_NOW && notifyCode == BN_CLICKED) {
        OnInstallNow();
        return true;
    }
    if (id == IDC_BROWSE && notifyCode == BN_CLICKED) {
        OnBrowse();
        return true;
    }
    return CDialog::OnCommand(id, notifyCode, control);
}

void CInstallerDlg::OnInstallNow() { RunInstallation(true); }

// Browse: the typed folder is preselected; only a chosen folder replaces the field and the
// installation-folder buffer, a cancelled browse leaves both as they were.
void CInstallerDlg::OnBrowse() {
    UpdateData(TRUE);
    if (const auto chosen = PickFolder(install::Say(install::Notice::BrowsePrompt), m_strFolder, m_hWnd)) {
        m_strFolder = *chosen;
        m_strInstallFolder = *chosen;
        UpdateData(FALSE);
    }
}

// The automatic start: one tick posts Install Now exactly as a click does, then the timer is gone.
bool CInstallerDlg::OnTimer(UINT_PTR) {
    KillTimer(kAutoStartTimer);
    PostMessage(WM_COMMAND, MAKEWPARAM(IDC_INSTALL_NOW, BN_CLICKED), 0);
    return false;
}

bool CInstallerDlg::OnPaint() {
    if (!IsIconic()) {
        return false;
    }
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    ::DrawIcon(dc, MinimisedIconOffset(client.right - client.left, cxIcon),
               MinimisedIconOffset(client.bottom - client.top, cyIcon), m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

HCURSOR CInstallerDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CInstallerDlg::OnCancel() {
    m_loader.CloseFile();
    if (m_nExitCode < 0) {
        m_nExitCode = startup::kExitCancelled;
    }
    CDialog::OnCancel();
}

void CInstallerDlg::OnUnhandledException(const char* what) {
    m_nExitCode = startup::kExitInternalError;
    CDialog::OnUnhandledException(what);
}

std::string CInstallerDlg::ReadFolderText() {
    UpdateData(TRUE);
    return m_strFolder;
}

void CInstallerDlg::DisableControls() {
    m_editFolder.EnableWindow(FALSE);
    m_btnBrowse.EnableWindow(FALSE);
    m_btnInstall.EnableWindow(FALSE);
    m_btnExit.EnableWindow(FALSE);
}

// The licence dialog, without a parent: it finds this dialog as its owner and disables it.
// Only "I Accept" counts as acceptance: a dialog that could not be shown (-1) or that stopped on an
// error is taken as declined, so an agreement nobody saw is never accepted.
bool CInstallerDlg::ShowLicense(const std::string& licenseFile) {
    CLicenseDlg dialog;
    dialog.m_strLicenseFile = licenseFile;
    const bool accepted = dialog.DoModal() == IDOK;
    os::OrNullLog(m_pLog).Line(accepted ? "Licence agreement accepted" : "Licence agreement not accepted");
    return accepted;
}

bool CInstallerDlg::AskYesNo(const std::string& text, const std::string& caption) {
    const bool yes = ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_YESNO) == IDYES;
    os::OrNullLog(m_pLog).Line({"Question (", caption, "): ", text, yes ? " Yes" : " No"});
    return yes;
}

void CInstallerDlg::ShowWarning(const std::string& text, const std::string& caption) {
    os::OrNullLog(m_pLog).Line({"Warning (", caption, "): ", text});
    ::MessageBoxA(m_hWnd, text.c_str(), caption.c_str(), MB_OK);
}

// The run itself lives in the installation engine; the dialog gives it its state, the Win32
// services and itself as the run's window, then shows how it ended and ends itself.
void CInstallerDlg::RunInstallation(bool fromInstallNow) {
    if (m_bRunning || !m_loader.m_pManifest) {
        return;  // a posted Install Now during a run, or after a failed initialisation, starts nothing
    }
    m_bRunning = true;
    install::RunState state = m_loader.RunState(m_strTitle, m_strStartupDir, m_strCommandLine, m_pLog);
    os::Win32System system(m_hWnd);
    const install::RunResult result = install::RunInstallation(state, system, *this, fromInstallNow);
    FinishRun(result, fromInstallNow);
    m_bRunning = false;
}

// Runs while the run still counts as in progress: an Install Now that the auto-start timer posts
// while the message box is up starts nothing.
void CInstallerDlg::FinishRun(const install::RunResult& result, bool fromInstallNow) {
    if (result.outcome != install::RunOutcome::FolderRefused) {
        m_loader.m_pManifest.reset();  // one manifest serves one run
    }
    if (result.failure) {
        os::Win32System system(m_hWnd);
        m_strMessage = install::FailureText(*result.failure, install::LoadProductTexts(system));
        const std::string caption = install::Say(install::Notice::InstallationFailedCaption);
        os::OrNullLog(m_pLog).Line({caption, ": ", m_strMessage});
        ::MessageBoxA(m_hWnd, m_strMessage.c_str(), caption.c_str(), MB_OK);
    }
    switch (result.outcome) {
    case install::RunOutcome::FolderRefused:
        if (!fromInstallNow) {
            m_nExitCode = startup::kExitFolderRefused;  // launch mode: the initialisation ends the dialog
        }
        break;  // after Install Now the dialog stays usable and the manifest stays loaded
    case install::RunOutcome::Completed:
    case install::RunOutcome::CompletedNotUninstallable:
        m_nExitCode = startup::RunExitCode(result.outcome);
        PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        break;
    case install::RunOutcome::Launched:
    case install::RunOutcome::LaunchFailed:
        m_nExitCode = startup::RunExitCode(result.outcome);  // the initialisation ends the dialog
        break;
    case install::RunOutcome::Failed:
        m_nExitCode = startup::kExitInstallFailed;
        CDialog::EndDialog(IDOK);
        break;
    case install::RunOutcome::LicenseDeclined:
        m_nExitCode = startup::kExitLicenseDeclined;
        OnCancel();
        break;
    }
}

}  // namespace kv::ui

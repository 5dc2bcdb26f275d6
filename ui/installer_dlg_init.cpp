// The main dialog's initialisation: working directory, options, the archive's checksum and
// manifest, the default installation folder, and the launch-mode start.
#include <direct.h>

#include "install/messages.h"
#include "install/product_texts.h"
#include "os/win32_system.h"
#include "startup/archive_loader.h"
#include "startup/command_line.h"
#include "ui/installer_dlg.h"
#include "ui/resource.h"

namespace kv::ui {

namespace {
constexpr UINT_PTR kAutoStartTimer = 0;
}  // namespace

void CInstallerDlg::ReportLoadFailure(const install::Failure& failure) {
    // A timer armed by OptNP must not post Install Now while the message box is up.
    KillTimer(kAutoStartTimer);
    os::Win32System system(m_hWnd);
    m_strMessage = install::FailureText(failure, install::LoadProductTexts(system));
    m_nExitCode = startup::LoadFailureExitCode(failure);
    os::OrNullLog(m_pLog).Line(m_strMessage);
    ::MessageBoxA(m_hWnd, m_strMessage.c_str(), install::Say(install::Notice::InstallationFailedCaption).c_str(),
                  MB_OK);
    if (failure.kind == install::FailureKind::ArchiveMissing) {
        PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    }
    CDialog::EndDialog(IDOK);
}

bool CInstallerDlg::LoadArchive(bool useCurrentFolder) {
    install::Result loaded = m_loader.OpenAndVerify(m_strExecutableName, m_strModulePath);
    if (loaded && OptionGiven("OptNP")) {
        // Armed once the checksum has passed, before the manifest is read.
        SetTimer(kAutoStartTimer, 500);
        DisableFolderControls();
    }
    os::Win32System system(m_hWnd);
    if (loaded) loaded = m_loader.LoadManifest(system, useCurrentFolder, m_strChosenFolder);
    if (!loaded) {
        ReportLoadFailure(loaded.failure());
        return false;
    }
    // The reader has already held every header string to its limit (the title to 124 characters,
    // names and folders to 259), so no copy of them can overrun anything.
    m_strTitle = m_loader.m_pManifest->title;
    m_strInstallFolder = m_loader.m_strInstallFolder;
    return true;
}

BOOL CInstallerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);
    // A product that carries its own caption and copyright line shows them instead of the template's.
    {
        os::Win32System system(m_hWnd);
        const install::ProductTexts texts = install::LoadProductTexts(system);
        if (texts.caption) ::SetWindowTextA(m_hWnd, texts.caption->c_str());
        if (texts.copyright) ::SetDlgItemTextA(m_hWnd, IDC_COPYRIGHT, texts.copyright->c_str());
    }

    // The working directory is the text before "|", taken as it stands; a failed change is ignored.
    const std::string workingDir = startup::WorkingDirectoryPart(m_strCommandLine);
    if (!workingDir.empty()) {
        (void)::_chdir(workingDir.c_str());
    }
    m_strStartupDir = os::Win32System(m_hWnd).CurrentDirectory();

    if (OptionGiven("OptNCD")) {
        DisableFolderControls();
    }
    const bool useCurrentFolder = OptionGiven("OptUCD");
    if (useCurrentFolder) {
        DisableFolderControls();
    }

    if (!LoadArchive(useCurrentFolder)) {
        return TRUE;
    }

    m_strFolder = m_strInstallFolder;
    UpdateData(FALSE);

    if (OptionGiven("OptNIN")) {
        RunInstallation(false);
        // Whatever the run did, the dialog ends here: an Install Now that OptNP's timer posted
        // meanwhile must not start a second run.
        m_loader.m_pManifest.reset();
        CDialog::EndDialog(IDOK);
    }
    return TRUE;
}

}  // namespace kv::ui

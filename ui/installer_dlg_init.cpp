// The main dialog's initialisation: working directory, options, the archive's checksum and
// manifest, the default installation folder, and the launch-mode start.
#include <direct.h>

#include <memory>
#include <new>

#include "install/messages.h"
#include "archive/format_error.h"
#include "archive/installer_file.h"
#include "ui/archive_stream_reader.h"
#include "ui/command_line.h"
#include "ui/install_folder.h"
#include "ui/installer_dlg.h"
#include "ui/loader_messages.h"
#include "os/win32_system.h"
#include "ui/resource.h"

#ifndef KV_SUPPORT_ADDRESS
#error "KV_SUPPORT_ADDRESS must be defined by the build"
#endif

namespace kv::ui {

namespace {
constexpr UINT_PTR kAutoStartTimer = 0;
}  // namespace

void CInstallerDlg::ReportLoadFailure(LoadFailure failure) {
    // A timer armed by OptNP must not post Install Now while the message box is up.
    KillTimer(kAutoStartTimer);
    switch (failure) {
    case LoadFailure::ArchiveMissing:
        m_strMessage = ArchiveMissingMessage(m_strArchivePath, KV_SUPPORT_ADDRESS);
        m_nExitCode = kExitArchiveMissing;
        break;
    case LoadFailure::ArchiveCorrupt:
        m_strMessage = kCorruptFileMessage;
        m_nExitCode = kExitArchiveCorrupt;
        break;
    case LoadFailure::OutOfMemory:
        m_strMessage = kManifestMemoryMessage;
        m_nExitCode = kExitOutOfMemory;
        break;
    }
    ::MessageBoxA(m_hWnd, m_strMessage.c_str(), install::kInstallationFailedCaption, MB_OK);
    if (failure == LoadFailure::ArchiveMissing) {
        PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    }
    CDialog::EndDialog(IDOK);
}

bool CInstallerDlg::LoadArchive() {
    // The bare name: the file is looked for in the current directory only.
    m_strArchivePath = m_strExecutableName + ".exe";
    m_pArchive = std::fopen(m_strArchivePath.c_str(), "rb");
    if (m_pArchive == nullptr) {
        ReportLoadFailure(LoadFailure::ArchiveMissing);
        return false;
    }

    // Every byte is summed in one pass before anything else is read from the file.
    ArchiveStreamReader source(m_pArchive);
    const archive::InstallerChecksum checksum = archive::ChecksumInstaller(source);
    if (!checksum.matches()) {
        ReportLoadFailure(LoadFailure::ArchiveCorrupt);
        return false;
    }

    if (OptionGiven("OptNP")) {
        SetTimer(kAutoStartTimer, 500);
        DisableFolderControls();
    }

    // A manifest the reader refuses (a limit broken, a count past the end, an entry outside the
    // file) is reported like a checksum mismatch: the file is not what the builder wrote.
    std::unique_ptr<archive::Manifest> manifest;
    try {
        manifest = std::make_unique<archive::Manifest>(archive::OpenInstaller(source, checksum).manifest);
    } catch (const archive::FormatError&) {
        ReportLoadFailure(LoadFailure::ArchiveCorrupt);
        return false;
    } catch (const std::bad_alloc&) {
        ReportLoadFailure(LoadFailure::OutOfMemory);
        return false;
    } catch (const std::length_error&) {
        ReportLoadFailure(LoadFailure::OutOfMemory);
        return false;
    }

    // The reader has already held every header string to its limit (the title to 124 characters,
    // names and folders to 259), so no copy of them can overrun anything.
    m_strTitle = manifest->title;

    // The Windows directory is asked for once, here; the run and its profile settings use this copy.
    os::Win32System system(m_hWnd);
    m_strWindowsDir = system.WindowsDirectory();
    // A drive prefix that pushes the folder past its buffer is refused like a corrupt file.
    const auto resolved =
        ResolveInstallFolder(manifest->defaultFolder, m_strWindowsDir, system.CurrentDirectory(), useCurrentFolder);
    if (!resolved) {
        ReportLoadFailure(LoadFailure::ArchiveCorrupt);
        return false;
    }
    m_strInstallFolder = resolved->folder;
    useCurrentFolder = resolved->useCurrentFolder;
    m_pManifest = std::move(manifest);
    return true;
}

BOOL CInstallerDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcon(m_hIcon, TRUE);

    // The working directory is the text before "|", taken as it stands; a failed change is ignored.
    const std::string workingDir = WorkingDirectoryPart(m_strCommandLine);
    if (!workingDir.empty()) {
        (void)::_chdir(workingDir.c_str());
    }
    m_strStartupDir = os::Win32System(m_hWnd).CurrentDirectory();

    if (OptionGiven("OptNCD")) {
        DisableFolderControls();
    }
    useCurrentFolder = false;
    if (OptionGiven("OptUCD")) {
        useCurrentFolder = true;
        DisableFolderControls();
    }

    if (!LoadArchive()) {
        return TRUE;
    }

    m_strFolder = m_strInstallFolder;
    UpdateData(FALSE);

    if (OptionGiven("OptNIN")) {
        RunInstallation(false);
        // Whatever the run did, the dialog ends here: an Install Now that OptNP's timer posted
        // meanwhile must not start a second run.
        m_pManifest.reset();
        CDialog::EndDialog(IDOK);
    }
    return TRUE;
}

}  // namespace kv::ui

// The main dialog's initialisation: working directory, options, the archive's checksum and
// manifest, the default installation folder, and the launch-mode start.
#include <direct.h>

#include <cstring>
#include <new>

#include "archive/format_error.h"
#include "archive/installer_file.h"
#include "ui/archive_stream_reader.h"
#include "ui/command_line.h"
#include "ui/install_folder.h"
#include "ui/installer_dlg.h"
#include "ui/loader_messages.h"
#include "ui/resource.h"

#ifndef KV_SUPPORT_ADDRESS
#error "KV_SUPPORT_ADDRESS must be defined by the build"
#endif

namespace kv::ui {

namespace {
constexpr UINT_PTR kAutoStartTimer = 0;

// Copies `text` with its terminator into a fixed buffer; false when it does not fit.
template <std::size_t N>
bool CopyToBuffer(char (&buffer)[N], const std::string& text) {
    if (text.size() >= N) {
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}
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
    ::MessageBoxA(m_hWnd, m_strMessage.c_str(), kInstallationFailedCaption, MB_OK);
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
    m_dwStoredChecksum = checksum.stored;

    if (OptionGiven("OptNP")) {
        SetTimer(kAutoStartTimer, 500);
        DisableFolderControls();
    }

    // A manifest the reader refuses (a limit broken, a count past the end, an entry outside the
    // file) is reported like a checksum mismatch: the file is not what the builder wrote.
    try {
        archive::OpenedInstaller opened = archive::OpenInstaller(source, checksum);
        m_dwManifestLength = opened.trailer.manifestLength;
        m_pManifest = std::move(opened.manifestBlock);
        m_pCursor = opened.headerEnd;
        m_manifest = std::move(opened.manifest);
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

    if (!CopyToBuffer(m_szTitle, m_manifest.title) || !CopyToBuffer(m_szDisplayName, m_manifest.displayName) ||
        !CopyToBuffer(m_szSetupName, m_manifest.setupName) ||
        !CopyToBuffer(m_szInstallFolder, m_manifest.defaultFolder)) {
        ReportLoadFailure(LoadFailure::ArchiveCorrupt);
        return false;
    }
    m_strTitle = m_szTitle;

    const UINT windowsLength = ::GetWindowsDirectoryA(m_szWindowsDir, sizeof m_szWindowsDir);
    if (windowsLength == 0 || windowsLength >= sizeof m_szWindowsDir) {
        m_szWindowsDir[0] = '\0';
    }

    char currentDir[MAX_PATH] = {};
    const DWORD currentLength = ::GetCurrentDirectoryA(sizeof currentDir, currentDir);
    if (currentLength == 0 || currentLength >= sizeof currentDir) {
        currentDir[0] = '\0';
    }
    // A drive prefix that pushes the folder past its buffer is refused like a corrupt file.
    const auto resolved = ResolveInstallFolder(m_szInstallFolder, m_szWindowsDir, currentDir, useCurrentFolder);
    if (!resolved || !CopyToBuffer(m_szInstallFolder, resolved->folder)) {
        ReportLoadFailure(LoadFailure::ArchiveCorrupt);
        return false;
    }
    useCurrentFolder = resolved->useCurrentFolder;
    m_bManifestLoaded = true;
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
    const DWORD startupLength = ::GetCurrentDirectoryA(sizeof m_szStartupDir, m_szStartupDir);
    if (startupLength == 0 || startupLength >= sizeof m_szStartupDir) {
        m_szStartupDir[0] = '\0';
    }

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

    m_strFolder = m_szInstallFolder;
    UpdateData(FALSE);

    if (OptionGiven("OptNIN")) {
        RunInstallation(false);
        // Whatever the run did, the dialog ends here: an Install Now that OptNP's timer posted
        // meanwhile must not start a second run.
        m_bManifestLoaded = false;
        CDialog::EndDialog(IDOK);
    }
    return TRUE;
}

}  // namespace kv::ui

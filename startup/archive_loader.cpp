// The loader's steps.
#include "startup/archive_loader.h"

#include <new>
#include <stdexcept>

#include "archive/format_error.h"
#include "startup/install_folder.h"

namespace kv::startup {

using install::Failure;
using install::FailureKind;

install::Result ArchiveLoader::OpenAndVerify(const std::string& executableName, const std::string& modulePath) {
    // A file of the same name in the current directory (which the command line may choose) is
    // someone else's: only the module's own file is read.
    m_strArchivePath = executableName + ".exe";
    m_strModulePath = modulePath;
    if (modulePath.empty() || !m_file.Open(modulePath)) return Failure{FailureKind::ArchiveMissing, m_strArchivePath};
    // Every byte is summed in one pass before anything else is read from the file.
    m_checksum = archive::ChecksumInstaller(m_file);
    if (!m_checksum.matches()) return Failure{FailureKind::ArchiveCorrupt};
    return {};
}

install::Result ArchiveLoader::LoadManifest(os::System& system, bool useCurrentFolder,
                                            const std::optional<std::string>& chosenFolder) {
    // A manifest the reader refuses (a limit broken, a count past the end, an entry outside the
    // file) is reported like a checksum mismatch: the file is not what the builder wrote.
    std::unique_ptr<archive::Manifest> manifest;
    try {
        manifest = std::make_unique<archive::Manifest>(archive::OpenInstaller(m_file, m_checksum).manifest);
    } catch (const archive::FormatError&) {
        return Failure{FailureKind::ArchiveCorrupt};
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::ManifestNoMemory};
    } catch (const std::length_error&) {
        return Failure{FailureKind::ManifestNoMemory};
    }
    // The Windows directory is asked for once, here; the run and its profile settings use this copy.
    m_strWindowsDir = system.WindowsDirectory();
    if (chosenFolder) {
        // No drive rule: the folder was named for this machine. The run resolves a relative or
        // drive-relative text and checks characters and length, as for a typed folder.
        m_strInstallFolder = *chosenFolder;
        m_bUseCurrentFolder = false;
    } else {
        // A drive prefix that pushes the folder past its buffer is refused like a corrupt file.
        const auto resolved =
            ResolveInstallFolder(manifest->defaultFolder, m_strWindowsDir, system.CurrentDirectory(), useCurrentFolder);
        if (!resolved) return Failure{FailureKind::ArchiveCorrupt};
        m_strInstallFolder = resolved->folder;
        m_bUseCurrentFolder = resolved->useCurrentFolder;
    }
    m_pManifest = std::move(manifest);
    return {};
}

install::RunState ArchiveLoader::RunState(std::string title, std::string startupDirectory, std::string commandLine,
                                          os::RunLog* log) {
    install::RunState state;
    state.manifest = m_pManifest.get();
    state.title = std::move(title);
    state.windowsDirectory = m_strWindowsDir;
    state.startupDirectory = std::move(startupDirectory);
    state.archivePath = m_strModulePath;
    state.useCurrentFolder = m_bUseCurrentFolder;
    state.commandLine = std::move(commandLine);
    state.entries = &m_file;
    state.log = log;
    return state;
}

ExitCode LoadFailureExitCode(const Failure& failure) {
    switch (failure.kind) {
    case FailureKind::ArchiveMissing:
        return kExitArchiveMissing;
    case FailureKind::ArchiveCorrupt:
        return kExitArchiveCorrupt;
    case FailureKind::ManifestNoMemory:
        return kExitOutOfMemory;
    default:
        break;
    }
    return kExitInternalError;
}

}  // namespace kv::startup

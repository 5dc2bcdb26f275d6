// The loader's steps and the texts of its failures.
#include "ui/archive_loader.h"

#include <new>
#include <stdexcept>

#include "archive/format_error.h"
#include "ui/archive_stream_reader.h"
#include "ui/install_folder.h"
#include "ui/loader_messages.h"

#ifndef KV_SUPPORT_ADDRESS
#error "KV_SUPPORT_ADDRESS must be defined by the build"
#endif

namespace kv::ui {

LoadFailure ArchiveLoader::OpenAndVerify(const std::string& executableName) {
    // The bare name: the file is looked for in the current directory only.
    m_strArchivePath = executableName + ".exe";
    m_pArchive = std::fopen(m_strArchivePath.c_str(), "rb");
    if (m_pArchive == nullptr) return LoadFailure::ArchiveMissing;
    // Every byte is summed in one pass before anything else is read from the file.
    ArchiveStreamReader source(m_pArchive);
    m_checksum = archive::ChecksumInstaller(source);
    return m_checksum.matches() ? LoadFailure::None : LoadFailure::ArchiveCorrupt;
}

LoadFailure ArchiveLoader::LoadManifest(os::System& system, bool useCurrentFolder) {
    // A manifest the reader refuses (a limit broken, a count past the end, an entry outside the
    // file) is reported like a checksum mismatch: the file is not what the builder wrote.
    ArchiveStreamReader source(m_pArchive);
    std::unique_ptr<archive::Manifest> manifest;
    try {
        manifest = std::make_unique<archive::Manifest>(archive::OpenInstaller(source, m_checksum).manifest);
    } catch (const archive::FormatError&) {
        return LoadFailure::ArchiveCorrupt;
    } catch (const std::bad_alloc&) {
        return LoadFailure::OutOfMemory;
    } catch (const std::length_error&) {
        return LoadFailure::OutOfMemory;
    }
    // The Windows directory is asked for once, here; the run and its profile settings use this copy.
    m_strWindowsDir = system.WindowsDirectory();
    // A drive prefix that pushes the folder past its buffer is refused like a corrupt file.
    const auto resolved =
        ResolveInstallFolder(manifest->defaultFolder, m_strWindowsDir, system.CurrentDirectory(), useCurrentFolder);
    if (!resolved) return LoadFailure::ArchiveCorrupt;
    m_strInstallFolder = resolved->folder;
    m_bUseCurrentFolder = resolved->useCurrentFolder;
    m_pManifest = std::move(manifest);
    return LoadFailure::None;
}

std::string LoadFailureMessage(LoadFailure failure, const std::string& archivePath) {
    switch (failure) {
    case LoadFailure::ArchiveMissing:
        return ArchiveMissingMessage(archivePath, KV_SUPPORT_ADDRESS);
    case LoadFailure::ArchiveCorrupt:
        return kCorruptFileMessage;
    case LoadFailure::OutOfMemory:
        return kManifestMemoryMessage;
    case LoadFailure::None:
        break;
    }
    return {};
}

ExitCode LoadFailureExitCode(LoadFailure failure) {
    switch (failure) {
    case LoadFailure::ArchiveMissing:
        return kExitArchiveMissing;
    case LoadFailure::ArchiveCorrupt:
        return kExitArchiveCorrupt;
    case LoadFailure::OutOfMemory:
        return kExitOutOfMemory;
    case LoadFailure::None:
        break;
    }
    return kExitInstalled;
}

}  // namespace kv::ui

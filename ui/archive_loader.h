// The loader: the installer's own file opened by its name in the current directory, its checksum,
// its manifest and the default installation folder. The main dialog and quiet mode both start
// with it; each tells a failure its own way (a message box, or the run log).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "archive/format.h"
#include "archive/installer_file.h"
#include "install/failure.h"
#include "os/system.h"
#include "ui/exit_codes.h"

namespace kv::ui {

class ArchiveLoader {
public:
    // `archive` is the owner's stream: opened here, closed by the owner.
    explicit ArchiveLoader(std::FILE*& archive) : m_pArchive(archive) {}

    // Opens "<executableName>.exe" in the current directory and sums every byte of it.
    install::Result OpenAndVerify(const std::string& executableName);
    // After OpenAndVerify: reads the manifest, asks for the Windows directory and resolves the
    // default installation folder (the current directory with `useCurrentFolder`).
    install::Result LoadManifest(os::System& system, bool useCurrentFolder);

    std::string m_strArchivePath;
    std::unique_ptr<archive::Manifest> m_pManifest;
    std::string m_strWindowsDir;
    std::string m_strInstallFolder;
    bool m_bUseCurrentFolder = false;

private:
    std::FILE*& m_pArchive;
    archive::InstallerChecksum m_checksum{};
};

// The exit code that a failure of the loader ends the installer with.
ExitCode LoadFailureExitCode(const install::Failure& failure);

}  // namespace kv::ui

// The drive-letter rule for the default installation folder.
#include "startup/install_folder.h"

namespace kv::startup {

namespace {
bool HasDriveColon(std::string_view path) { return path.size() >= 2 && path[1] == ':'; }
}  // namespace

std::optional<ResolvedFolder> ResolveInstallFolder(std::string_view defaultFolder, std::string_view windowsDirectory,
                                                   std::string_view currentDirectory, bool useCurrentFolder) {
    ResolvedFolder result{std::string(defaultFolder), useCurrentFolder};
    if (HasDriveColon(windowsDirectory)) {
        if (HasDriveColon(result.folder)) {
            result.folder[0] = windowsDirectory[0];
        } else {
            result.folder.insert(0, windowsDirectory.substr(0, 2));
        }
    }
    if (result.folder.empty() || result.useCurrentFolder) {
        result.folder = std::string(currentDirectory);
        result.useCurrentFolder = true;
    }
    if (result.folder.size() > kInstallFolderLimit) {
        return std::nullopt;
    }
    return result;
}

}  // namespace kv::startup

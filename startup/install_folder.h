// The default installation folder: the manifest's folder moved onto the Windows drive, or the
// current directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "archive/format.h"

namespace kv::startup {

struct ResolvedFolder {
    std::string folder;
    bool useCurrentFolder = false;
};

// The longest installation folder a 260-byte path buffer holds with its terminator.
inline constexpr std::size_t kInstallFolderLimit = archive::kPathLimit;

// When the Windows directory starts with a drive letter and colon, a folder with its own drive
// letter gets the Windows drive's letter instead, and any other folder gets the Windows drive's
// letter and colon in front ("" becomes "D:"). Then an empty folder, or `useCurrentFolder`, gives
// the current directory and sets the flag. Nothing when the result would not fit the buffer.
std::optional<ResolvedFolder> ResolveInstallFolder(std::string_view defaultFolder, std::string_view windowsDirectory,
                                                   std::string_view currentDirectory, bool useCurrentFolder);

}  // namespace kv::startup

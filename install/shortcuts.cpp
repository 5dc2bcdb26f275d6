// Shortcut naming and placement over the OS seam; the shell link itself is the seam's.
#include "install/shortcuts.h"

#include "archive/format.h"
#include "archive/names.h"

namespace kv::install {

int CreateShortcut(os::System& system, int location, const std::string& menuFolder, const std::string& target,
                   const std::string& caption, const std::string& workingDirectory, const std::string& arguments) {
    std::string directory;
    if (location != 0) {
        const auto desktop = system.SpecialFolderPath(os::SpecialFolder::Desktop);
        if (!desktop) return 0;
        directory = *desktop;
    } else {
        const auto programs = system.SpecialFolderPath(os::SpecialFolder::Programs);
        if (!programs) return 0;
        directory = *programs + "\\" + menuFolder;
        // One level only; an existing folder is fine and a failure shows up as a failed save.
        system.MakeDirectory(directory);
    }
    const std::string linkPath = directory + "\\" + archive::ShortcutFileName(caption);
    // The wide path buffer of the save holds 260 characters, terminator included.
    if (linkPath.size() > archive::kPathLimit) return 0;
    return system.SaveShellLink(linkPath, target, caption, arguments, workingDirectory) ? 1 : 0;
}

}  // namespace kv::install

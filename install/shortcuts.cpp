// Shortcut naming and placement over the OS seam; the shell link itself is the seam's.
#include "install/shortcuts.h"

#include "archive/format.h"
#include "archive/names.h"

namespace kv::install {

bool CreateShortcut(os::System& system, ShortcutPlace place, const std::string& menuFolder, const std::string& target,
                    const std::string& caption, const std::string& workingDirectory, const std::string& arguments) {
    std::string directory;
    if (place == ShortcutPlace::Desktop) {
        const auto desktop = system.SpecialFolderPath(os::SpecialFolder::Desktop);
        if (!desktop) return false;
        directory = *desktop;
    } else {
        const auto programs = system.SpecialFolderPath(os::SpecialFolder::Programs);
        if (!programs) return false;
        directory = *programs + "\\" + menuFolder;
        // One level only; an existing folder is fine and a failure shows up as a failed save.
        system.MakeDirectory(directory);
    }
    const std::string linkPath = directory + "\\" + archive::ShortcutFileName(caption);
    // The wide path buffer of the save holds 260 characters, terminator included.
    if (linkPath.size() > archive::kPathLimit) return false;
    return system.SaveShellLink(linkPath, target, caption, arguments, workingDirectory);
}

}  // namespace kv::install

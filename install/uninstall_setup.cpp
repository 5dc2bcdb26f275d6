// Closing the uninstall log and registering the uninstaller, and the warning when either fails.
#include "install/uninstall_setup.h"

#include "install/messages.h"
#include "install/product_texts.h"
#include "uninstall/registration.h"

namespace kv::install {

std::optional<std::string> SetUpUninstall(PlacementContext& placed) {
    const bool logWritten = placed.log.Close();
    placed.log.StampTime(placed.installFolder, placed.system.SystemTimeAsFileTime());
    os::RunLog& runLog = os::OrNullLog(placed.runLog);
    runLog.Line({"Uninstall data file: ", uninstall::DataFilePath(placed.installFolder),
                 logWritten ? "" : " (not written completely)"});

    uninstall::UninstallEntry entry;
    entry.windowsDirectory = placed.systemFolder;
    entry.folder = placed.installFolder;
    entry.productName = placed.manifest.displayName;
    entry.placedBytes = placed.placedBytes;
    if (placed.launch.set) entry.displayIcon = placed.launch.path;
    const ProductTexts texts = LoadProductTexts(placed.system);
    entry.publisher = texts.publisher;
    entry.version = texts.version;
    entry.url = texts.url;
    entry.helpLink = texts.helpLink;
    const uninstall::RegistrationResult registration = uninstall::RegisterUninstall(placed.system, entry);
    if (registration.Registered())
        runLog.Line({"Registered for uninstalling: HKLM\\", uninstall::UninstallKeyPath(entry.productName)});
    else
        runLog.Line({"Registering for uninstalling failed: ", registration.problem});

    // Both failures leave an installation that the user cannot remove (completely): told in one
    // warning, in the words of the self-copy warning, and the run still completes.
    std::string warning;
    if (!logWritten) {
        warning += Say(Notice::DataFileIncomplete, uninstall::DataFilePath(placed.installFolder));
    }
    if (!registration.Registered()) {
        warning += Say(Notice::RegistrationRefused, entry.productName, registration.problem);
    }
    if (warning.empty()) return std::nullopt;
    return warning + Say(Notice::NotUninstallable);
}

}  // namespace kv::install

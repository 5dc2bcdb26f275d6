// The uninstall registration.
#include "uninstall/registration.h"

#include "archive/format.h"

namespace kv::uninstall {

std::string UninstallKeyPath(const std::string& productName) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::string UninstallCommandLine(const std::string& windowsDirectory, const std::string& folder,
                                 const std::string& productName) {
    return windowsDirectory + "\\" + archive::kUninstallerName + " " + folder + "|" + productName;
}

void RegisterUninstall(os::System& system, const std::string& windowsDirectory, const std::string& folder,
                       const std::string& productName) {
    const std::string keyPath = UninstallKeyPath(productName);
    // The key path is formed in a path buffer on Windows: a name too long for it would be cut into
    // the name of another key, so nothing is registered.
    if (keyPath.size() > archive::kPathLimit) return;
    auto key = system.CreateMachineKey(keyPath);
    if (!key) return;
    // The second value is tried even when the first is refused.
    key->SetExpandString("DisplayName", productName);
    key->SetExpandString("UninstallString", UninstallCommandLine(windowsDirectory, folder, productName));
}

}  // namespace kv::uninstall

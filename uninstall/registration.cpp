// The uninstall registration.
#include "uninstall/registration.h"

namespace kv::uninstall {

namespace {
// The key path is formed in a 260-byte buffer on Windows.
constexpr std::size_t kKeyPathLimit = 259;
}  // namespace

std::string UninstallKeyPath(const std::string& productName) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::string UninstallCommandLine(const std::string& windowsDirectory, const std::string& folder,
                                 const std::string& productName) {
    return windowsDirectory + "\\Kvuninstall.exe " + folder + "|" + productName;
}

void RegisterUninstall(os::System& system, const std::string& windowsDirectory, const std::string& folder,
                       const std::string& productName) {
    const std::string keyPath = UninstallKeyPath(productName);
    // A name too long for the key path would be cut into the name of another key: register nothing.
    if (keyPath.size() > kKeyPathLimit) return;
    auto key = system.CreateMachineKey(keyPath);
    if (!key) return;
    // The second value is tried even when the first is refused.
    key->SetExpandString("DisplayName", productName);
    key->SetExpandString("UninstallString", UninstallCommandLine(windowsDirectory, folder, productName));
}

}  // namespace kv::uninstall

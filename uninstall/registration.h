// Entering the installed product in the operating system's list of installed programs.
#pragma once

#include <string>

#include "os/system.h"

namespace kv::uninstall {

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\%s" of the product name.
std::string UninstallKeyPath(const std::string& productName);
// "%s\Kvuninstall.exe %s|%s" of the Windows directory, the folder text and the product name.
std::string UninstallCommandLine(const std::string& windowsDirectory, const std::string& folder,
                                 const std::string& productName);

// Creates the key under HKEY_LOCAL_MACHINE and sets "DisplayName" and "UninstallString" as
// REG_EXPAND_SZ. Nothing is reported: a registry that refuses leaves the product unregistered.
void RegisterUninstall(os::System& system, const std::string& windowsDirectory, const std::string& folder,
                       const std::string& productName);

}  // namespace kv::uninstall

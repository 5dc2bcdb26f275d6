// Entering the installed product in the operating system's list of installed programs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "os/system.h"

namespace kv::uninstall {

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\%s" of the product name.
std::string UninstallKeyPath(const std::string& productName);
// WINDOWS\Kvuninstall.exe "FOLDER|PRODUCT" of the Windows directory, the folder text and the product
// name (the program's path quoted too when it holds a blank).
std::string UninstallCommandLine(const std::string& windowsDirectory, const std::string& folder,
                                 const std::string& productName);
// The uninstaller's option for a removal without questions or message boxes.
inline constexpr char kQuietOption[] = " /S";
// "YYYYMMDD", the form of the InstallDate value.
std::string InstallDateText(const os::CalendarDate& date);
// Whole KiB, rounded up, of a byte count, as the EstimatedSize value holds them (at most 0xFFFFFFFF).
std::uint32_t SizeInKiB(std::uint64_t bytes);

// What the entry says about one installation.
struct UninstallEntry {
    std::string windowsDirectory;            // where the uninstaller was placed
    std::string folder;                      // the installation folder text, as the run used it
    std::string productName;                 // the key's name and DisplayName
    std::uint64_t placedBytes = 0;           // the expanded sizes of the files the run placed
    std::optional<std::string> displayIcon;  // the runFile's path, when the run placed it
    // The product's own, as the installer carries them; empty ones are not set.
    std::string publisher;
    std::string version;  // DisplayVersion, and VersionMajor and VersionMinor from its leading numbers
    std::string url;      // URLInfoAbout
    std::string helpLink;
};

// Empty when the key and every value went in; otherwise what was refused, in words.
struct RegistrationResult {
    std::string problem;
    bool Registered() const { return problem.empty(); }
};

// Creates the key under HKEY_LOCAL_MACHINE and sets "DisplayName" as REG_EXPAND_SZ, "UninstallString",
// "QuietUninstallString", "InstallLocation", "DisplayIcon" (only when given) and "InstallDate" as
// REG_SZ, and "EstimatedSize", "NoModify" and "NoRepair" as REG_DWORD; when the entry has them,
// "Publisher", "DisplayVersion", "URLInfoAbout" and "HelpLink" as REG_SZ and "VersionMajor" and
// "VersionMinor" as REG_DWORD. Every value is
// tried even when one is refused; the result names the first refusal.
RegistrationResult RegisterUninstall(os::System& system, const UninstallEntry& entry);

}  // namespace kv::uninstall

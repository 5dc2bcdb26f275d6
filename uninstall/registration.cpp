// The uninstall registration.
#include "uninstall/registration.h"

#include "archive/format.h"
#include "archive/version_numbers.h"

namespace kv::uninstall {

std::string UninstallKeyPath(const std::string& productName) {
    return "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::string UninstallCommandLine(const std::string& windowsDirectory, const std::string& folder,
                                 const std::string& productName) {
    // FOLDER|PRODUCT stands in double quotes so that a shell (cmd.exe runs these values for
    // deployment tools) takes the bar and the blanks as text, not as a pipe. The program's path is
    // quoted only when it holds a blank: a value that begins with a quote and holds more of them has
    // its first and last quote stripped by "cmd /c" unless the whole value is quoted again.
    std::string program = windowsDirectory + "\\" + archive::kUninstallerName;
    if (program.find(' ') != std::string::npos) program = '"' + program + '"';
    return program + " \"" + folder + "|" + productName + '"';
}

std::string InstallDateText(const os::CalendarDate& date) {
    // Digit by digit, with no printf: the installer links none.
    std::string text;
    const auto digits = [&](int value, int count) {
        for (int unit = count == 4 ? 1000 : 10; unit > 0; unit /= 10)
            text += static_cast<char>('0' + value / unit % 10);
    };
    digits(date.year, 4);
    digits(date.month, 2);
    digits(date.day, 2);
    return text;
}

std::uint32_t SizeInKiB(std::uint64_t bytes) {
    const std::uint64_t kib = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
    return kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(kib);
}

namespace {

// The values the product brings: who made it, which version, and where to read about it.
template <typename Note>
void SetProductValues(os::RegistryKey& key, const UninstallEntry& entry, const Note& note) {
    const auto text = [&](const char* name, const std::string& value) {
        if (!value.empty()) note(key.SetString(name, value), name);
    };
    text("Publisher", entry.publisher);
    text("DisplayVersion", entry.version);
    text("URLInfoAbout", entry.url);
    text("HelpLink", entry.helpLink);
    if (const auto numbers = archive::VersionNumbers(entry.version)) {
        note(key.SetDword("VersionMajor", (*numbers)[0]), "VersionMajor");
        note(key.SetDword("VersionMinor", (*numbers)[1]), "VersionMinor");
    }
}

}  // namespace

RegistrationResult RegisterUninstall(os::System& system, const UninstallEntry& entry) {
    const std::string keyPath = UninstallKeyPath(entry.productName);
    // The key path is formed in a path buffer on Windows: a name too long for it would be cut into
    // the name of another key, so nothing is registered.
    if (keyPath.size() > archive::kPathLimit) {
        return {"the key HKLM\\" + keyPath + " is longer than " + std::to_string(archive::kPathLimit) + " characters"};
    }
    auto key = system.CreateMachineKey(keyPath);
    if (!key) return {"the key HKLM\\" + keyPath + " could not be created"};

    RegistrationResult result;
    // Every value is tried even when one before it is refused; the first refusal is told.
    const auto note = [&](bool set, const char* name) {
        if (!set && result.Registered()) result.problem = "the value " + std::string(name) + " was refused";
    };
    const std::string command = UninstallCommandLine(entry.windowsDirectory, entry.folder, entry.productName);
    note(key->SetExpandString("DisplayName", entry.productName), "DisplayName");
    // The commands embed the folder, so they are REG_SZ like every other path: as REG_EXPAND_SZ a
    // folder named C:\%TEMP%\App would become another folder when the uninstaller is started. The
    // display name names no path and stays REG_EXPAND_SZ, as the installer has always written it.
    note(key->SetString("UninstallString", command), "UninstallString");
    note(key->SetString("QuietUninstallString", command + kQuietOption), "QuietUninstallString");
    note(key->SetString("InstallLocation", entry.folder), "InstallLocation");
    if (entry.displayIcon) note(key->SetString("DisplayIcon", *entry.displayIcon), "DisplayIcon");
    note(key->SetString("InstallDate", InstallDateText(system.LocalDate())), "InstallDate");
    note(key->SetDword("EstimatedSize", SizeInKiB(entry.placedBytes)), "EstimatedSize");
    note(key->SetDword("NoModify", 1), "NoModify");
    note(key->SetDword("NoRepair", 1), "NoRepair");
    SetProductValues(*key, entry, note);
    return result;
}

}  // namespace kv::uninstall

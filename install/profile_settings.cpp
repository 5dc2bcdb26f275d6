// Profile-setting edits.
#include "install/profile_settings.h"

#include <string_view>

namespace kv::install {

namespace {
constexpr std::string_view kWindowsMacro = "$WINDOWS";
constexpr std::string_view kInstallMacro = "$INSTALL";
constexpr int kMissingNumber = -99;  // what ReadProfileInt answers for a missing key
}  // namespace

bool ExpandMacros(std::string& value, const std::string& windowsDirectory, const std::string& installFolder) {
    std::string result;
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t dollar = value.find('$', pos);
        if (dollar == std::string::npos) break;
        result.append(value, pos, dollar - pos);
        const std::string_view rest = std::string_view(value).substr(dollar);
        if (rest.starts_with(kWindowsMacro)) {
            result += windowsDirectory;
            pos = dollar + kWindowsMacro.size();
        } else if (rest.starts_with(kInstallMacro)) {
            result += installFolder;
            pos = dollar + kInstallMacro.size();
        } else {
            result += '$';
            pos = dollar + 1;
        }
    }
    if (pos < value.size()) result.append(value, pos, std::string::npos);
    // A value cut at the buffer's end would be a wrong path in the profile: leave it out instead.
    if (result.size() > kProfileValueLimit) return false;
    value = std::move(result);
    return true;
}

void ApplySettings(os::System& system, const std::vector<archive::SettingRecord>& settings,
                   const std::string& windowsDirectory, const std::string& installFolder, os::RunLog& log) {
    for (const auto& setting : settings) {
        // The file always lies in the Windows directory, even when iniFile has folder parts.
        const std::string profilePath = windowsDirectory + "\\" + setting.iniFile;
        const auto note = [&](std::string_view what, std::string_view value = {}, std::string_view close = {}) {
            log.Line({"Setting ", profilePath, " [", setting.section, "] ", setting.key, what, value, close});
        };
        if (profilePath.size() > kProfileValueLimit) {
            note(": skipped, the path is too long");
            continue;
        }
        std::string value = setting.value;
        if (setting.numeric != 0) {
            // Any number other than -99 means the key is there; -99 reads like a missing key.
            if (system.ReadProfileInt(setting.section, setting.key, kMissingNumber, profilePath) != kMissingNumber) {
                note(": kept, it is set");
                continue;
            }
        } else {
            std::string existing;
            if (system.ReadProfileString(setting.section, setting.key, existing, profilePath) != 0) {
                note(": kept \"", existing, "\"");
                continue;
            }
            if (!ExpandMacros(value, windowsDirectory, installFolder)) {
                note(": skipped, the value is too long");
                continue;
            }
        }
        const bool written = system.WriteProfileValue(setting.section, setting.key, value, profilePath);
        note(written ? ": written \"" : ": could not be written \"", value, "\"");
    }
}

}  // namespace kv::install

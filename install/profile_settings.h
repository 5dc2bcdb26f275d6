// Profile-setting edits: the manifest's SettingRecords fill missing or empty INI values in the
// Windows directory, with $WINDOWS and $INSTALL expanded in string values.
#pragma once

#include <string>
#include <vector>

#include "archive/format.h"
#include "os/system.h"

namespace kv::install {

// The longest value, and the longest profile path, that the profile buffers hold.
inline constexpr std::size_t kProfileValueLimit = archive::kPathLimit;

// Replaces every "$WINDOWS" and "$INSTALL" (exact case), left to right, with the Windows directory
// and the installation folder; inserted text is not scanned again. Returns false, leaving `value`
// unchanged, when the result would be longer than kProfileValueLimit characters.
bool ExpandMacros(std::string& value, const std::string& windowsDirectory, const std::string& installFolder);

// Applies the settings in order. Never fails: unreadable files count as empty, write results are
// ignored, and a record whose path or expanded value would not fit is skipped silently.
void ApplySettings(os::System& system, const std::vector<archive::SettingRecord>& settings,
                   const std::string& windowsDirectory, const std::string& installFolder);

}  // namespace kv::install

// Profile-setting edits: the manifest's SettingRecords fill missing or empty INI values in the
// Windows directory, with $WINDOWS and $INSTALL expanded in string values.
#pragma once

#include <string>
#include <vector>

#include "archive/format.h"
#include "os/run_log.h"
#include "os/system.h"

namespace kv::install {

// The longest value, and the longest profile path, that the profile buffers hold.
inline constexpr std::size_t kProfileValueLimit = archive::kPathLimit;

// Replaces every "$WINDOWS" and "$INSTALL" (exact case), left to right, with the Windows directory
// and the installation folder; inserted text is not scanned again. Returns false, leaving `value`
// unchanged, when the result would be longer than kProfileValueLimit characters.
bool ExpandMacros(std::string& value, const std::string& windowsDirectory, const std::string& installFolder);

// Applies the settings in order. Never fails: unreadable files count as empty, write results are
// ignored, and a record whose path or expanded value would not fit is skipped. Nothing is reported
// to the user; each value written, kept or skipped is a line of `log`.
void ApplySettings(os::System& system, const std::vector<archive::SettingRecord>& settings,
                   const std::string& windowsDirectory, const std::string& installFolder,
                   os::RunLog& log = os::OrNullLog(nullptr));

}  // namespace kv::install

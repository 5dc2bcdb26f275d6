// The texts the installer shows when it cannot start: its own file missing, corrupt, or too big.
// Their caption is install::kInstallationFailedCaption, like every failure of the run.
#pragma once

#include <string>
#include <string_view>

namespace kv::ui {

inline constexpr char kCorruptFileMessage[] = "File is corrupt.  Redownload the file and try again.";
inline constexpr char kManifestMemoryMessage[] = "Memory Error - Cannot allocate enough memory to load manifest.";

// The message for an installer that cannot open its own file under `executableName` (with ".exe").
// It ends with the support address and a full stop.
std::string ArchiveMissingMessage(std::string_view executableName, std::string_view supportAddress);

}  // namespace kv::ui

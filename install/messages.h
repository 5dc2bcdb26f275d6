// The captions of the messages that report a failure, from the installer's start to its run.
#pragma once

namespace kv::install {

inline constexpr char kInstallationFailedCaption[] = "Installation Failed";
// The caption of the warnings after which the run goes on.
inline constexpr char kInstallerCaption[] = "Korvalin Automatic Installer";

}  // namespace kv::install

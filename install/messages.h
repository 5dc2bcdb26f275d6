// The caption of every message that reports a failure, from the installer's start to its run.
#pragma once

namespace kv::install {

inline constexpr char kInstallationFailedCaption[] = "Installation Failed";

}  // namespace kv::install

// Running the project's signing command on one file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/kvpack/project.h"

namespace kv::tools {

// Runs `sign` with {in} replaced by `input` and {out} by a scratch file beside `scratchBeside`, and
// returns the signed file's bytes. ToolError kExitBadInput naming `what` when the command fails or
// writes nothing; the scratch file is removed either way.
std::vector<std::uint8_t> SignFile(const SignCommand& sign, const std::filesystem::path& input,
                                   const std::filesystem::path& scratchBeside, const std::string& what);

}  // namespace kv::tools

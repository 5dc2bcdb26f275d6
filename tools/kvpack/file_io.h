// Whole-file reads and writes for kvpack, with errors that name the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kv::tools {

// The whole file; ToolError(kExitIoError) naming `path` (after `what`, for example "stub", when
// given) when it is missing or unreadable.
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, const std::string& what = {});

// Writes to a temporary file beside `path` and renames it over `path`, so a failed write never
// leaves a half-written file under the final name. The temporary file has a random name and is
// created new, so nothing planted in the folder is written through.
void WriteFileBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

}  // namespace kv::tools

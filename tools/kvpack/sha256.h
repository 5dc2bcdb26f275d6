// SHA-256, for the installer's hash in a winget manifest.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kv::tools {

// The digest of `bytes` as 64 upper-case hexadecimal digits.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace kv::tools

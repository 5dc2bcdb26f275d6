// Little-endian integers, the one byte order of the installer file and the SZDD header: loads from
// fixed-size spans and stores into buffers, so that no caller assembles bytes itself.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kv::archive {

inline std::uint32_t LoadU32le(std::span<const std::uint8_t, 4> bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

inline void StoreU32le(std::span<std::uint8_t, 4> out, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline void AppendU32le(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

inline void AppendU64le(std::vector<std::uint8_t>& out, std::uint64_t value) {
    AppendU32le(out, static_cast<std::uint32_t>(value));
    AppendU32le(out, static_cast<std::uint32_t>(value >> 32));
}

}  // namespace kv::archive

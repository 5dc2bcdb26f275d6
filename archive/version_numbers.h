// The numbers at the start of a product's version text, as the version resource and Apps & Features
// take them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kv::archive {

// The leading "1.2.3.4" numbers of a version text, missing ones 0 ("8.0-beta" gives 8, 0, 0, 0);
// nothing when it does not begin with a number or a part exceeds 65535.
inline std::optional<std::array<std::uint16_t, 4>> VersionNumbers(std::string_view version) {
    std::array<std::uint16_t, 4> numbers{};
    std::size_t at = 0;
    for (std::size_t part = 0; part < numbers.size(); ++part) {
        if (at >= version.size() || version[at] < '0' || version[at] > '9') {
            if (part == 0) return std::nullopt;
            break;
        }
        std::uint32_t value = 0;
        while (at < version.size() && version[at] >= '0' && version[at] <= '9') {
            value = value * 10 + static_cast<std::uint32_t>(version[at++] - '0');
            if (value > 0xFFFF) return std::nullopt;
        }
        numbers[part] = static_cast<std::uint16_t>(value);
        if (at >= version.size() || version[at] != '.') break;
        ++at;
    }
    return numbers;
}

}  // namespace kv::archive

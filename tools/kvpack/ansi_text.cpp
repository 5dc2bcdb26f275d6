// UTF-8 <-> Windows-1252.
#include "tools/kvpack/ansi_text.h"

#include <cstdint>

namespace kv::tools {
namespace {

// Code points of the bytes 0x80..0x9F; 0 where Windows-1252 leaves the byte undefined.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88..8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98..9F
};

std::optional<int> AnsiByteFor(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp) return 0x80 + i;
    }
    return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::optional<std::string> Utf8ToAnsi(std::string_view utf8, std::string* badCharacter) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<std::uint8_t>(utf8[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            if (badCharacter) *badCharacter = "invalid UTF-8";
            return std::nullopt;
        }
        if (i + extra >= utf8.size()) {
            if (badCharacter) *badCharacter = "invalid UTF-8";
            return std::nullopt;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<std::uint8_t>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                if (badCharacter) *badCharacter = "invalid UTF-8";
                return std::nullopt;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const std::optional<int> byte = AnsiByteFor(cp);
        if (!byte) {
            if (badCharacter) *badCharacter = std::string(utf8.substr(i, extra + 1));
            return std::nullopt;
        }
        out += static_cast<char>(*byte);
        i += extra + 1;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    for (char c : ansi) {
        const auto byte = static_cast<std::uint8_t>(c);
        char32_t cp = byte;
        if (byte >= 0x80 && byte < 0xA0) cp = kHighControls[byte - 0x80] ? kHighControls[byte - 0x80] : 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace kv::tools

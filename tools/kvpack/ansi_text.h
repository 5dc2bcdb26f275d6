// Conversion between the UTF-8 of project files and terminals and the 8-bit strings of the manifest.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::tools {

// Manifest strings are 8-bit text in the system's ANSI code page. kvpack writes Windows-1252, the
// ANSI code page of western Windows systems: ASCII passes through, other characters are mapped when
// that code page has them.

// The Windows-1252 form of UTF-8 text; empty optional when the text is not valid UTF-8 or holds a
// character the code page lacks. `badCharacter` receives that character (as UTF-8) when given.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8, std::string* badCharacter = nullptr);

// UTF-8 for display. Bytes with no character in Windows-1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D) show
// as U+FFFD.
std::string AnsiToUtf8(std::string_view ansi);

}  // namespace kv::tools

// The command-line option test: an option word anywhere in the text, letter case ignored; and the
// value that follows a word such as OptLOG=.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kv::archive {

// Whether `option` occurs in `text` (ASCII letters compared without case). Missing or empty
// strings count as absent. No separators, quoting or word boundaries.
bool OptionPresent(const char* option, const char* text);

// A word with its value, such as OptLOG=C:\setup.log, as it stands in a command line.
struct OptionValue {
    std::size_t begin = 0;  // where the word starts
    std::size_t end = 0;    // just past the value (past its closing quote, when quoted)
    std::string value;      // the value without quotes; may be empty
};

// The first occurrence of `word` in `text` (letter case ignored, like OptionPresent) and its value:
// when the value starts with a double quote it runs to the next double quote (to the end of the text
// when there is none), otherwise to the next blank or tab. Nothing when the word does not occur.
std::optional<OptionValue> FindOptionValue(std::string_view word, std::string_view text);

}  // namespace kv::archive

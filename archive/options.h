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

// Where the one double quote without a partner stands, or npos. Quotes pair up from the left, the
// first with the second and so on; an odd last one is a typing slip and groups nothing, so it can
// never swallow the words behind it (OptQ, /S).
std::size_t LoneQuote(std::string_view text);

// The first occurrence of `word` in `text` (letter case ignored, like OptionPresent) and its value.
// This is the one rule for every NAME=value option of both programs: the value runs to the next
// blank or tab outside a pair of double quotes, and the quotes are dropped, as Windows splits
// program arguments: OptLOG="C:\My Logs\a.log", "OptLOG=C:\My Logs\a.log" and
// "OptQ OptLOG=C:\a.log" (the whole option text quoted) all give the path. A lone quote is
// dropped and groups nothing. Nothing when the word does not occur.
std::optional<OptionValue> FindOptionValue(std::string_view word, std::string_view text);

// What follows the program's own name in a process command line, as Windows splits it: the name runs
// to its closing quote when it starts with one (to the end when none follows), otherwise to the first
// blank or tab; the blanks and tabs around it are dropped, those at the end stay.
std::string_view ArgumentsAfterProgramName(std::string_view commandLine);

}  // namespace kv::archive

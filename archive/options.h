// The command-line option test: an option word anywhere in the text, letter case ignored.
#pragma once

namespace kv::archive {

// 1 when `option` occurs in `text` (ASCII letters compared without case), 0 otherwise.
// Missing or empty strings count as absent. No separators, quoting or word boundaries.
int OptionPresent(const char* option, const char* text);

}  // namespace kv::archive

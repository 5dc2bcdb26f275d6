// The uninstaller's command line: "FOLDER|PRODUCT" as the uninstall registration writes it (in
// double quotes, or unquoted as older installers wrote it), optionally followed by " /S" for a quiet
// removal and " /LOG=path" for a run log (in either order). Deployment tools may quote each switch on
// its own or the whole text as one word; double quotes only group words.
// The log option is written like the quiet one, as a switch behind the product, rather than as the
// installer's OptLOG= word: the registered command line ends with the product name, and a deployment
// tool appends its switches to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::uninstall {

struct UninstallRequest {
    std::string folder;   // as registered: may hold blanks and may end in a backslash
    std::string product;  // the product record's text and the registry key's name
    bool quiet = false;   // "/S": no question, no message boxes
    std::string logPath;  // "/LOG=path" (the path as archive::FindOptionValue reads it); empty: no log
};

// The text after the program's own name (archive::ArgumentsAfterProgramName). Nothing when it is not FOLDER|PRODUCT
// with both parts non-empty.
std::optional<UninstallRequest> ParseUninstallArguments(std::string_view arguments);

// True when "/S" (letter case ignored) stands anywhere in the arguments as a word of its own, quoted
// or not, also when the rest is malformed: a script that asked for quiet gets no message box either
// way. (A product name never holds the word /S: kvpack and the reader refuse one.)
bool HasQuietOption(std::string_view arguments);

// The log path of "/LOG=path" anywhere in the arguments, also when the rest is malformed; empty
// when none is given.
std::string LogPathOption(std::string_view arguments);

// The part of a whole Windows command line after the program name (quoted or not) and the blanks
// that follow it.

}  // namespace kv::uninstall

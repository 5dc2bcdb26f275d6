// Splitting the process command line and the module path.
#include "startup/command_line.h"

#include "archive/options.h"

namespace kv::startup {

std::string ExecutableNameFromPath(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) {
        name = name.substr(0, dot);
    }
    return std::string(name);
}

std::string WorkingDirectoryPart(std::string_view commandLine) {
    // A folder cannot hold a double quote, so quotes here only wrap it ("C:\My Files|OptNP", or the
    // whole option text quoted by a deployment tool).
    std::string folder;
    for (const char c : commandLine.substr(0, commandLine.find('|'))) {
        if (c != '"') folder += c;
    }
    return folder;
}

namespace {
// The value of `word`, when it is there, and the command line without the word and its value.
std::optional<std::string> TakeOptionValue(std::string_view word, std::string& commandLine) {
    const auto found = archive::FindOptionValue(word, commandLine);
    if (!found) return std::nullopt;
    commandLine.erase(found->begin, found->end - found->begin);
    return found->value;
}
}  // namespace

LogOption SplitLogOption(std::string_view commandLine) {
    LogOption split{{}, std::string(commandLine)};
    split.path = TakeOptionValue("OptLOG=", split.commandLine).value_or("");
    return split;
}

FolderOption SplitFolderOption(std::string_view commandLine) {
    FolderOption split{{}, std::string(commandLine)};
    split.folder = TakeOptionValue("OptDIR=", split.commandLine);
    return split;
}

}  // namespace kv::startup

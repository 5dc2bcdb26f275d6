// What the installer takes from its process command line and its module path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::startup {

// The module's file name without folder and without extension: C:\Downloads\SETUP.EXE gives SETUP.
std::string ExecutableNameFromPath(std::string_view modulePath);

// The working directory written before the first "|" without its double quotes; the whole text when
// there is no "|".
std::string WorkingDirectoryPart(std::string_view commandLine);

// The log option "OptLOG=path" (the path as archive::FindOptionValue reads it) taken out of the
// command line. `commandLine` is the rest, for the option test and the working directory: a log path
// such as C:\OptNP\setup.log switches on no option and names no working directory.
struct LogOption {
    std::string path;  // empty when no log was named
    std::string commandLine;
};
LogOption SplitLogOption(std::string_view commandLine);

// The folder option "OptDIR=path": the installation folder for this run, read and taken out of the
// command line the same way as the log option, so that C:\OptNP Apps names a folder and switches
// nothing on. `folder` is set whenever the word is there, also with an empty value, which the run
// then refuses like an empty folder box rather than taking it for "no folder named".
struct FolderOption {
    std::optional<std::string> folder;
    std::string commandLine;
};
FolderOption SplitFolderOption(std::string_view commandLine);

}  // namespace kv::startup

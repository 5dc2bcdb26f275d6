// UTF-8, the text kvpack works in, to and from what the operating system hands out: paths, the
// command line and the environment. On Windows those are UTF-16, and a narrow string given to
// std::filesystem::path there is read in the process's code page, not as UTF-8; every path made
// from text goes through PathFromUtf8 so that non-ASCII names reach the wide file functions intact.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv::tools {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

// The program's arguments as UTF-8. On Windows they are taken from the wide command line, since the
// narrow argv has already lost every character outside the ANSI code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// An environment variable as UTF-8; empty optional when it is not set.
std::optional<std::string> Utf8Environment(const char* name);

#ifdef _WIN32
// UTF-8 text as the UTF-16 that the wide Windows functions take.
std::wstring WideFromUtf8(std::string_view utf8);
#endif

}  // namespace kv::tools

// Running the project's signing command through the system's shell, with quoted file names.
#include "tools/kvpack/sign_command.h"

#include <cstdio>
#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include "tools/kvpack/file_io.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

namespace fs = std::filesystem;

// The command line is UTF-8 text on every platform, so paths go in as UTF-8 too.
std::string Quoted(const fs::path& path) {
#ifdef _WIN32
    return "\"" + PathToUtf8(path) + "\"";  // Windows file names cannot hold a double quote
#else
    std::string quoted = "'";
    for (char c : PathToUtf8(path)) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

void ReplaceAll(std::string& text, const std::string& placeholder, const std::string& value) {
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
        text.replace(at, placeholder.size(), value);
    }
}

// The command's exit status, or -1 when it could not be started or was killed.
int RunShell(const std::string& command) {
    std::fflush(nullptr);  // our own output first, then the command's
#ifdef _WIN32
    // The wide shell call: the narrow one would read the UTF-8 line in the ANSI code page and lose
    // every character of a file or folder name outside it.
    return _wsystem(WideFromUtf8(command).c_str());
#else
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace

std::vector<std::uint8_t> SignFile(const SignCommand& sign, const fs::path& input, const fs::path& scratchBeside,
                                   const std::string& what) {
    fs::path output = fs::absolute(scratchBeside);
    output += ".kvpack-signed";
    std::error_code ignored;
    fs::remove(output, ignored);  // a signing tool may refuse to overwrite

    std::string command = sign.command;
    ReplaceAll(command, "{in}", Quoted(fs::absolute(input)));
    ReplaceAll(command, "{out}", Quoted(output));
#ifdef _WIN32
    // cmd.exe drops the outermost pair of quotes of the whole line.
    const std::string line = "\"cd /d " + Quoted(sign.folder) + " && " + command + "\"";
#else
    const std::string line = "cd " + Quoted(sign.folder) + " && " + command;
#endif
    const int status = RunShell(line);
    if (status != 0) {
        fs::remove(output, ignored);
        throw ToolError(kExitBadInput,
                        "signing the " + what + " failed (exit status " + std::to_string(status) + "): " + command);
    }
    std::vector<std::uint8_t> bytes;
    try {
        bytes = ReadFileBytes(output);
    } catch (const ToolError&) {
        throw ToolError(kExitBadInput, "signing the " + what + " wrote no signed file: " + command);
    }
    fs::remove(output, ignored);
    if (bytes.empty()) throw ToolError(kExitBadInput, "signing the " + what + " wrote an empty file: " + command);
    return bytes;
}

}  // namespace kv::tools

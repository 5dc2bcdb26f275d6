// The exit codes of kvpack and the one exception type that carries a message to one of them.
#pragma once

#include <stdexcept>
#include <string>

namespace kv::tools {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,     // the command line itself is wrong
    kExitBadInput = 2,  // a bad project file, source or argument value
    kExitCorrupt = 3,   // an installer or compressed file that is damaged or breaks the format
    kExitIoError = 4,   // a file could not be read or written
};

// Thrown anywhere in kvpack; main() prints the message and exits with the code.
class ToolError : public std::runtime_error {
public:
    ToolError(ExitCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    ExitCode code() const noexcept { return m_code; }

private:
    ExitCode m_code;
};

}  // namespace kv::tools

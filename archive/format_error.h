// The one exception type of the portable core: a refused input, naming the field that broke it.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace kv::archive {

// It keeps its own message rather than deriving from std::runtime_error, whose constructor brings the
// library's copy-on-write string (about 70 KB with what that pulls in) into the Windows programs.
class FormatError : public std::exception {
public:
    FormatError(std::string field, const std::string& what)
        : m_message(field.empty() ? what : field + ": " + what), m_field(std::move(field)) {}

    const char* what() const noexcept override { return m_message.c_str(); }

    // The manifest field (or SZDD part) at fault, for example "fileCount" or "files[2].offset".
    const std::string& field() const noexcept { return m_field; }

private:
    std::string m_message;
    std::string m_field;
};

}  // namespace kv::archive

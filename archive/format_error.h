// The one exception type of the portable core: a refused input, naming the field that broke it.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace kv::archive {

class FormatError : public std::runtime_error {
public:
    FormatError(std::string field, const std::string& what)
        : std::runtime_error(field.empty() ? what : field + ": " + what), m_field(std::move(field)) {}

    // The manifest field (or SZDD part) at fault, for example "fileCount" or "files[2].offset".
    const std::string& field() const noexcept { return m_field; }

private:
    std::string m_field;
};

}  // namespace kv::archive

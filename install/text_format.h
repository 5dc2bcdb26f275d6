// printf-style formatting of the installer's messages into a std::string, with no length limit.
#pragma once

#include <cstdio>
#include <string>
#include <type_traits>

namespace kv::install {

namespace detail {
inline const char* FormatArg(const std::string& text) { return text.c_str(); }
inline const char* FormatArg(const char* text) { return text; }
template <typename T>
    requires std::is_arithmetic_v<T>
T FormatArg(T value) { return value; }
}  // namespace detail

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
    const int size = std::snprintf(nullptr, 0, format, detail::FormatArg(args)...);
    if (size <= 0) return std::string();
    std::string out(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, detail::FormatArg(args)...);
    out.resize(static_cast<std::size_t>(size));
    return out;
}

}  // namespace kv::install

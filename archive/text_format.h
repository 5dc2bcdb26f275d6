// printf-style formatting of the programs' messages into a std::string, with no length limit.
// The messages use only %s, %d and %%; substituting them here, rather than through snprintf, keeps
// the C library's printf (about 27 KB with its floating-point conversions) out of the installer.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>

namespace kv::archive {

namespace detail {
inline std::string FormatArg(const std::string& text) { return text; }
inline std::string FormatArg(const char* text) { return text; }
template <typename T>
requires std::is_integral_v<T> std::string FormatArg(T value) { return std::to_string(value); }

// Each %s or %d takes the next argument's text; a conversion without an argument is left out.
inline std::string Substitute(const char* format, const std::string* args, std::size_t count) {
    std::string out;
    std::size_t next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == 's' || p[1] == 'd')) {
            if (next < count) out += args[next++];
            ++p;
        } else if (p[0] == '%' && p[1] == '%') {
            out += '%';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}
}  // namespace detail

template <typename... Args>
std::string Format(const char* format, const Args&... args) {
    const std::string texts[] = {detail::FormatArg(args)..., std::string()};
    return detail::Substitute(format, texts, sizeof...(Args));
}

}  // namespace kv::archive

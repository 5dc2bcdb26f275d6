// A small streaming JSON writer for kvpack's --json output: two-space indentation, UTF-8 strings.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kv::tools {

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view utf8);
    JsonWriter& Number(std::uint64_t value);
    JsonWriter& Bool(bool value);

    // Key and value in one call.
    template <typename T>
    JsonWriter& Field(std::string_view key, const T& value) {
        Key(key);
        if constexpr (std::is_same_v<T, bool>) {
            return Bool(value);
        } else if constexpr (std::is_integral_v<T>) {
            return Number(static_cast<std::uint64_t>(value));
        } else {
            return String(value);
        }
    }

    static std::string Escape(std::string_view utf8);

private:
    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);

    std::ostream& m_out;
    std::vector<bool> m_hasItems;  // one per open object or array
    bool m_afterKey = false;
};

}  // namespace kv::tools

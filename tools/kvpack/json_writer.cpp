// A small streaming JSON writer for kvpack's --json output.
#include "tools/kvpack/json_writer.h"

#include <cstdio>

namespace kv::tools {

std::string JsonWriter::Escape(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += code;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

void JsonWriter::BeforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasItems.empty()) return;
    m_out << (m_hasItems.back() ? ",\n" : "\n") << std::string(2 * m_hasItems.size(), ' ');
    m_hasItems.back() = true;
}

void JsonWriter::Open(char bracket) {
    BeforeValue();
    m_out << bracket;
    m_hasItems.push_back(false);
}

void JsonWriter::Close(char bracket) {
    const bool hadItems = m_hasItems.back();
    m_hasItems.pop_back();
    if (hadItems) m_out << "\n" << std::string(2 * m_hasItems.size(), ' ');
    m_out << bracket;
    if (m_hasItems.empty()) m_out << "\n";
}

JsonWriter& JsonWriter::BeginObject() {
    Open('{');
    return *this;
}
JsonWriter& JsonWriter::EndObject() {
    Close('}');
    return *this;
}
JsonWriter& JsonWriter::BeginArray() {
    Open('[');
    return *this;
}
JsonWriter& JsonWriter::EndArray() {
    Close(']');
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    m_out << Escape(key) << ": ";
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view utf8) {
    BeforeValue();
    m_out << Escape(utf8);
    return *this;
}

JsonWriter& JsonWriter::Number(std::uint64_t value) {
    BeforeValue();
    m_out << value;
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    m_out << (value ? "true" : "false");
    return *this;
}

}  // namespace kv::tools

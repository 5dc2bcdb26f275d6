// A cursor over a byte span that cannot overrun: every read is checked against the bytes left
// and the field's limit, and a failed check throws FormatError naming the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "archive/format_error.h"

namespace kv::archive {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    // Characters up to the next zero byte (the zero byte is consumed). Refuses a string longer
    // than `limit` characters and one with no zero byte before the end of the span.
    std::string cstr(std::size_t limit, const char* field);
    std::uint16_t u16le(const char* field);
    std::uint32_t u32le(const char* field);
    std::int32_t i32le(const char* field);
    std::uint64_t u64le(const char* field);

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_bytes.size() - m_pos; }
    void seek(std::size_t position, const char* field = "position");  // within the span, else FormatError

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_pos = 0;
};

}  // namespace kv::archive

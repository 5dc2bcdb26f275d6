// ByteReader: bounded little-endian reads over a byte span, each failure naming its field.
#include "archive/byte_reader.h"

#include <cstring>

#include "archive/little_endian.h"

namespace kv::archive {

std::string ByteReader::cstr(std::size_t limit, const char* field) {
    // Look for the terminator only as far as a string within the limit could reach.
    const std::size_t window = limit < remaining() ? limit + 1 : remaining();
    const std::uint8_t* start = m_bytes.data() + m_pos;
    const void* zero = window ? std::memchr(start, 0, window) : nullptr;
    if (zero == nullptr) {
        if (remaining() <= limit) {
            throw FormatError(field, "the string runs to the end of the data without its terminating zero byte");
        }
        throw FormatError(field, "the string is longer than its limit of " + std::to_string(limit) + " characters");
    }
    const std::size_t length = static_cast<const std::uint8_t*>(zero) - start;
    std::string text(reinterpret_cast<const char*>(start), length);
    m_pos += length + 1;
    return text;
}

namespace {

void RequireBytes(std::size_t remaining, std::size_t needed, const char* field) {
    if (remaining < needed) {
        throw FormatError(field, "the data ends " + std::to_string(needed - remaining) +
                                     " byte(s) before the end of this " + std::to_string(needed) + "-byte field");
    }
}

}  // namespace

std::uint16_t ByteReader::u16le(const char* field) {
    RequireBytes(remaining(), 2, field);
    const std::uint8_t* p = m_bytes.data() + m_pos;
    m_pos += 2;
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t ByteReader::u32le(const char* field) {
    RequireBytes(remaining(), 4, field);
    const std::uint32_t value = LoadU32le(m_bytes.subspan(m_pos).first<4>());
    m_pos += 4;
    return value;
}

std::int32_t ByteReader::i32le(const char* field) {
    return static_cast<std::int32_t>(u32le(field));  // two's complement, well defined since C++20
}

std::uint64_t ByteReader::u64le(const char* field) {
    RequireBytes(remaining(), 8, field);
    const std::uint64_t low = u32le(field);
    const std::uint64_t high = u32le(field);
    return low | high << 32;
}

void ByteReader::seek(std::size_t position, const char* field) {
    if (position > m_bytes.size()) {
        throw FormatError(field, "position " + std::to_string(position) + " lies past the end of the " +
                                     std::to_string(m_bytes.size()) + "-byte data");
    }
    m_pos = position;
}

}  // namespace kv::archive

// Random access to the bytes of an installer file: a span in memory (the builder's tools) or an
// open file (the installer reading itself). The one installer reader works over either.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace kv::archive {

class ReadAtSource {
public:
    virtual ~ReadAtSource() = default;
    // The file's size in bytes; 0 when it cannot be found out.
    virtual std::uint64_t Size() = 0;
    // Reads up to `into.size()` bytes at `offset` from the start; returns how many were read. A short
    // count means the end of the file or a read error.
    virtual std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
};

class SpanSource final : public ReadAtSource {
public:
    explicit SpanSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::uint64_t Size() override { return m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        if (offset >= m_bytes.size()) return 0;
        const std::size_t count = std::min<std::uint64_t>(into.size(), m_bytes.size() - offset);
        if (count != 0) std::memcpy(into.data(), m_bytes.data() + offset, count);
        return count;
    }

private:
    std::span<const std::uint8_t> m_bytes;
};

}  // namespace kv::archive

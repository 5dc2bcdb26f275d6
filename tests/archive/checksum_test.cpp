// The signed byte sum: against a plain byte-by-byte sum, on negative totals, and streamed from a
// source in reads whose sizes straddle the read buffer.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/checksum.h"
#include "archive/installer_file.h"

namespace kv::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The rule as written: each byte as a signed 8-bit value, added into a wrapping 32-bit accumulator.
std::uint32_t PlainSignedSum(const std::uint8_t* p, std::size_t n, std::uint32_t start = 0) {
    std::uint32_t sum = start;
    for (std::size_t i = 0; i < n; ++i)
        sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(p[i])));
    return sum;
}

Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
}

TEST(SignedByteSum, AgreesWithThePlainSumForEveryLengthAndAlignment) {
    const Bytes data = RandomBytes(400, 1);
    for (std::size_t start = 0; start < 16; ++start) {
        for (std::size_t length = 0; start + length <= data.size(); ++length) {
            ASSERT_EQ(SignedByteSum({data.data() + start, length}), PlainSignedSum(data.data() + start, length))
                << "start " << start << " length " << length;
        }
    }
}

TEST(SignedByteSum, LargeBuffersWrapAndContinueFromAStartValue) {
    const Bytes data = RandomBytes(3 * 1000 * 1000 + 7, 2);
    EXPECT_EQ(SignedByteSum(data), PlainSignedSum(data.data(), data.size()));
    EXPECT_EQ(SignedByteSum(data, 0xFFFFFF00u), PlainSignedSum(data.data(), data.size(), 0xFFFFFF00u));

    // Mostly high bytes: a negative total, stored as its two's-complement pattern.
    const Bytes high(100000, 0xFF);
    EXPECT_EQ(SignedByteSum(high), static_cast<std::uint32_t>(-100000));
    const Bytes lowest(70000, 0x80);
    EXPECT_EQ(SignedByteSum(lowest), static_cast<std::uint32_t>(-128 * 70000));
    const Bytes highest(70000, 0x7F);
    EXPECT_EQ(SignedByteSum(highest), 127u * 70000u);
}

TEST(ChecksumOf, LeavesOutTheLastFourBytes) {
    EXPECT_EQ(ChecksumOf(Bytes{}), 0u);
    EXPECT_EQ(ChecksumOf(Bytes{0x80, 0x80, 0x80}), 0u);  // no byte lies before a stored checksum
    EXPECT_EQ(ChecksumOf(Bytes{0x05, 0xFF, 0xFF, 0xFF, 0xFF}), 5u);
    // 0x41 0xFF 0x80 0x01 as signed bytes: 65 - 1 - 128 + 1 = -63, not the unsigned 0x1C1.
    EXPECT_EQ(ChecksumOf(Bytes{0x41, 0xFF, 0x80, 0x01, 0xC1, 0xFF, 0xFF, 0xFF}), 0xFFFFFFC1u);
}

TEST(StreamedChecksum, EqualsTheInMemorySumAroundTheReadBufferSize) {
    std::vector<std::size_t> sizes = {0, 1, 2, 3, 4, 5, 8};
    for (std::size_t base : {kChecksumReadSize, 2 * kChecksumReadSize}) {
        for (std::size_t delta = 1; delta <= 4; ++delta) {
            sizes.push_back(base - delta);
            sizes.push_back(base + delta);
        }
        sizes.push_back(base);
    }
    const Bytes all = RandomBytes(2 * kChecksumReadSize + 8, 3);
    for (std::size_t size : sizes) {
        const Bytes bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(size));
        SpanSource source(bytes);
        const InstallerChecksum result = ChecksumInstaller(source);
        EXPECT_EQ(result.fileSize, size);
        if (size >= 4) {
            EXPECT_EQ(result.computed, ChecksumOf(bytes)) << "size " << size;
            const std::uint8_t* s = bytes.data() + size - 4;
            EXPECT_EQ(result.stored, s[0] | s[1] << 8 | s[2] << 16 | std::uint32_t{s[3]} << 24) << "size " << size;
        } else {
            EXPECT_FALSE(result.matches()) << "a file of " << size << " bytes has no checksum to match";
        }
    }
}

TEST(StreamedChecksum, MatchesWhenTheStoredValueIsTheSum) {
    Bytes bytes = RandomBytes(kChecksumReadSize + 2, 4);
    const std::uint32_t sum = PlainSignedSum(bytes.data(), bytes.size());
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(sum >> shift));
    SpanSource source(bytes);
    EXPECT_TRUE(ChecksumInstaller(source).matches());
    bytes[kChecksumReadSize] ^= 0x01;  // one changed byte right at the buffer boundary
    SpanSource changed(bytes);
    EXPECT_FALSE(ChecksumInstaller(changed).matches());
}

// A file that claims more bytes than it gives, as one cut short while it is read.
class ShortSource final : public ReadAtSource {
public:
    explicit ShortSource(const Bytes& bytes) : m_inner(bytes), m_size(bytes.size() + 10) {}
    std::uint64_t Size() override { return m_size; }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        return m_inner.ReadAt(offset, into);
    }

private:
    SpanSource m_inner;
    std::uint64_t m_size;
};

TEST(StreamedChecksum, AReadThatComesShortNeverMatches) {
    Bytes bytes(64, 0);  // all zeros: the sum of any prefix matches a stored zero
    ShortSource source(bytes);
    const InstallerChecksum result = ChecksumInstaller(source);
    EXPECT_FALSE(result.readWhole);
    EXPECT_FALSE(result.matches());
}

}  // namespace
}  // namespace kv::archive

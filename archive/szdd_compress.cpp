// SZDD compression: the header, then LZSS tokens chosen by an optimal parse (Best) or lazy matching
// (Fast), written with nothing after the last token.
#include "archive/szdd.h"
#include "archive/szdd_match_finder.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "archive/little_endian.h"

namespace kv::archive::szdd {

namespace {

using detail::Match;

// The data is preceded by kPrefix spaces, the part of the ring's space pre-fill a match can use:
// an older all-space string in the ring is further back than the first of these and leaves the
// window sooner, so nothing is lost by leaving it out.
constexpr std::size_t kPrefix = kMaxMatch;

// Writes flag bytes and tokens into a buffer sized for the worst case (all literals).
class TokenWriter {
public:
    explicit TokenWriter(std::vector<std::uint8_t>& out, std::size_t dataSize) : m_out(out) {
        m_out.resize(kHeaderSize + dataSize + (dataSize + 7) / 8);
        m_pos = kHeaderSize;
    }

    void Literal(std::uint8_t byte) {
        NextToken();
        m_out[m_flagPos] |= std::uint8_t(1u << m_bit);
        m_out[m_pos++] = byte;
        ++m_bit;
    }

    // `source` is the virtual position the match copies from.
    void Match(std::size_t source, std::uint32_t length) {
        NextToken();
        const std::size_t ringPos = (source + kRingStart - kPrefix) & (kRingSize - 1);
        m_out[m_pos++] = std::uint8_t(ringPos);
        m_out[m_pos++] = std::uint8_t((ringPos >> 4 & 0xF0) | (length - kMinMatch));
        ++m_bit;
    }

    // The last flag byte keeps its unused bits clear and nothing follows the last token.
    void Finish() { m_out.resize(m_pos); }

private:
    void NextToken() {
        if (m_bit == 8) {
            m_flagPos = m_pos++;
            m_out[m_flagPos] = 0;
            m_bit = 0;
        }
    }

    std::vector<std::uint8_t>& m_out;
    std::size_t m_pos = 0;
    std::size_t m_flagPos = 0;
    unsigned m_bit = 8;
};

void WriteHeader(std::vector<std::uint8_t>& out, std::uint32_t size) {
    std::memcpy(out.data(), kSignature, sizeof kSignature);
    out[kModeOffset] = kModeA;
    out[kNameCharOffset] = 0;  // no replaced file-name character
    StoreU32le(std::span(out).subspan<kSizeOffset, 4>(), size);
}

// Lazy matching: take a match unless the next position starts a longer one.
void ParseFast(const std::uint8_t* buffer, std::size_t size, TokenWriter& writer) {
    // A short chain finds nearly every useful match in a 4K window of typical data.
    constexpr std::uint32_t kChainDepth = 12;
    detail::HashChainMatchFinder finder(buffer, size, kChainDepth);
    for (std::size_t p = 0; p < kPrefix; ++p) finder.Insert(p);
    std::size_t pos = kPrefix;
    Match cur = finder.FindAndInsert(pos);
    while (pos < size) {
        if (cur.length < kMinMatch) {
            writer.Literal(buffer[pos]);
            ++pos;
            if (pos < size) cur = finder.FindAndInsert(pos);
            continue;
        }
        if (cur.length < kMaxMatch && pos + 1 < size) {
            const Match next = finder.FindAndInsert(pos + 1);
            if (next.length > cur.length) {
                writer.Literal(buffer[pos]);
                ++pos;
                cur = next;
                continue;
            }
        } else if (pos + 1 < size) {
            finder.Insert(pos + 1);
        }
        writer.Match(pos - cur.distance, cur.length);
        for (std::size_t p = pos + 2; p < pos + cur.length; ++p) finder.Insert(p);
        pos += cur.length;
        if (pos < size) cur = finder.FindAndInsert(pos);
    }
}

// Optimal parse: with the exact longest match known at each position (and every shorter length
// usable with the same source), a backward pass finds the token sequence of fewest bits. A literal
// costs 9 bits and a match 17, so this is the smallest stream up to the last flag byte's padding.
// The data is parsed in blocks to bound memory; only a match crossing a block end is given up.
void ParseBest(const std::uint8_t* buffer, std::size_t size, TokenWriter& writer) {
    constexpr std::size_t kBlock = std::size_t(1) << 20;
    constexpr std::uint32_t kLiteralBits = 9, kMatchBits = 17;
    detail::BinaryTreeMatchFinder finder(buffer, size, detail::kWindow);  // no depth limit: exact
    for (std::size_t p = 0; p < kPrefix; ++p) finder.FindAndInsert(p);

    const std::size_t longest = std::min(kBlock, size - kPrefix);
    std::vector<std::uint8_t> lengths(longest);
    std::vector<std::uint16_t> distances(longest);
    std::vector<std::uint32_t> cost(longest + 1);
    std::vector<std::uint8_t> choice(longest);  // 0: literal, else the match length taken

    for (std::size_t start = kPrefix; start < size; start += kBlock) {
        const std::size_t count = std::min(kBlock, size - start);
        for (std::size_t i = 0; i < count; ++i) {
            const Match m = finder.FindAndInsert(start + i);
            lengths[i] = std::uint8_t(std::min<std::size_t>(m.length, count - i));
            distances[i] = std::uint16_t(m.distance);
        }
        cost[count] = 0;
        for (std::size_t i = count; i-- > 0;) {
            std::uint32_t best = cost[i + 1] + kLiteralBits;
            std::uint8_t taken = 0;
            for (std::size_t len = kMinMatch; len <= lengths[i]; ++len) {
                const std::uint32_t c = cost[i + len] + kMatchBits;
                if (c <= best) {  // on a tie the longer match: fewer tokens to decode
                    best = c;
                    taken = std::uint8_t(len);
                }
            }
            cost[i] = best;
            choice[i] = taken;
        }
        for (std::size_t i = 0; i < count;) {
            if (choice[i] == 0) {
                writer.Literal(buffer[start + i]);
                ++i;
            } else {
                writer.Match(start + i - distances[i], choice[i]);
                i += choice[i];
            }
        }
    }
}

}  // namespace

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, Level level) {
    if (data.size() > UINT32_MAX) throw std::length_error("SZDD holds at most 4 GiB - 1 bytes");
    if (data.size() > std::size_t(PTRDIFF_MAX) - kPrefix) throw std::length_error("file too large to compress");
    std::vector<std::uint8_t> buffer(kPrefix + data.size(), std::uint8_t(' '));
    if (!data.empty()) std::memcpy(buffer.data() + kPrefix, data.data(), data.size());

    std::vector<std::uint8_t> out;
    TokenWriter writer(out, data.size());
    WriteHeader(out, std::uint32_t(data.size()));
    if (!data.empty()) {
        if (level == Level::Fast) {
            ParseFast(buffer.data(), buffer.size(), writer);
        } else {
            ParseBest(buffer.data(), buffer.size(), writer);
        }
    }
    writer.Finish();
    return out;
}

}  // namespace kv::archive::szdd

// Match finders of the SZDD compressor over a window of 4,095 bytes: an exact binary tree for the
// optimal parse and a hash chain with a depth limit for the fast level.
#pragma once

#include "archive/szdd.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv::archive::szdd::detail {

// Every source lies at most kMaxDistance bytes back. The ring would allow 4,096 (a match that reads
// the byte it is about to overwrite); stopping one short keeps clear of decoders that might write
// before they read, at no measurable cost.
inline constexpr std::uint32_t kWindow = kRingSize;
inline constexpr std::uint32_t kWindowMask = kWindow - 1;
inline constexpr std::uint32_t kMaxDistance = kWindow - 1;

struct Match {
    std::uint32_t length = 0;    // 0: none of at least kMinMatch bytes
    std::uint32_t distance = 0;  // 1..kMaxDistance bytes back
};

// Positions are stored plus kWindow, so 0 means "empty" and is always out of reach.
inline std::uint32_t Stored(std::size_t position) { return std::uint32_t(position) + kWindow; }

// Bits of a head table for `size` bytes of input: small files do not pay for clearing a big table.
inline unsigned TableBits(std::size_t size, unsigned most) {
    unsigned bits = 10;
    while (bits < most && (std::size_t(1) << bits) < size) ++bits;
    return bits;
}

// Binary search tree of the strings (up to kMaxMatch bytes) that start in the window, one tree per
// leading byte pair, rebuilt with the newest string at the root on every insertion, so a node's
// subtree is always older than the node and the walk stops at the first node that left the window.
// With no depth limit it returns the exact longest match at every position. Large inputs key the
// trees by the exact byte pair; small ones hash the pair into a smaller table, so a tree may mix
// pairs and comparisons start at the first byte.
class BinaryTreeMatchFinder {
public:
    BinaryTreeMatchFinder(const std::uint8_t* buffer, std::size_t size, std::uint32_t depthLimit)
        : m_pBuffer(buffer),
          m_size(size),
          m_depthLimit(depthLimit),
          m_bits(TableBits(size, 16)),
          m_head(std::size_t(1) << m_bits, 0),
          m_son(2 * kWindow, 0) {}

    // Inserts the string at `position` and returns the longest earlier match in the window.
    Match FindAndInsert(std::size_t position) {
        Match best;
        const std::size_t lenLimit = std::min(kMaxMatch, m_size - position);
        if (lenLimit < kMinMatch) return best;  // too close to the end to start or serve a match
        const std::uint8_t* cur = m_pBuffer + position;
        const std::uint32_t pair = cur[0] | std::uint32_t(cur[1]) << 8;
        const bool exact = m_bits == 16;
        const std::uint32_t key = exact ? pair : (pair * 2654435761u) >> (32 - m_bits);
        const std::uint32_t pos = Stored(position);
        std::uint32_t candidate = m_head[key];
        m_head[key] = pos;
        std::uint32_t* ptr0 = &m_son[((pos & kWindowMask) << 1) + 1];  // where the next greater node goes
        std::uint32_t* ptr1 = &m_son[(pos & kWindowMask) << 1];        // where the next smaller node goes
        // With exact keys every string of one tree shares the first two bytes.
        std::size_t len0 = exact ? 2 : 0, len1 = len0, maxLen = kMinMatch - 1;
        for (std::uint32_t depth = m_depthLimit;; --depth) {
            const std::uint32_t delta = pos - candidate;
            if (depth == 0 || delta > kMaxDistance) {
                *ptr0 = *ptr1 = 0;
                return best;
            }
            std::uint32_t* children = &m_son[(candidate & kWindowMask) << 1];
            const std::uint8_t* pb = cur - delta;
            std::size_t len = std::min(len0, len1);
            if (pb[len] == cur[len]) {
                while (++len != lenLimit && pb[len] == cur[len]) {}
                if (len > maxLen) {
                    maxLen = len;
                    best = {std::uint32_t(len), delta};
                    if (len == lenLimit) {
                        // Same string: the new node takes the old one's place and children.
                        *ptr1 = children[0];
                        *ptr0 = children[1];
                        return best;
                    }
                }
            }
            if (pb[len] < cur[len]) {
                *ptr1 = candidate;
                ptr1 = children + 1;
                candidate = *ptr1;
                len1 = len;
            } else {
                *ptr0 = candidate;
                ptr0 = children;
                candidate = *ptr0;
                len0 = len;
            }
        }
    }

private:
    const std::uint8_t* m_pBuffer;
    std::size_t m_size;
    std::uint32_t m_depthLimit;
    unsigned m_bits;
    std::vector<std::uint32_t> m_head;  // newest position per (hashed) leading byte pair
    std::vector<std::uint32_t> m_son;   // two children per window slot
};

// Hash chains over three-byte prefixes, newest first, searched to a fixed depth.
class HashChainMatchFinder {
public:
    HashChainMatchFinder(const std::uint8_t* buffer, std::size_t size, std::uint32_t depthLimit)
        : m_pBuffer(buffer),
          m_size(size),
          m_depthLimit(depthLimit),
          m_bits(TableBits(size, kMostBits)),
          m_head(std::size_t(1) << m_bits, 0),
          m_prev(kWindow, 0) {}

    void Insert(std::size_t position) {
        if (m_size - position < kMinMatch) return;
        const std::uint32_t h = Hash(m_pBuffer + position);
        const std::uint32_t pos = Stored(position);
        m_prev[pos & kWindowMask] = m_head[h];
        m_head[h] = pos;
    }

    Match FindAndInsert(std::size_t position) {
        Match best;
        const std::size_t lenLimit = std::min(kMaxMatch, m_size - position);
        if (lenLimit < kMinMatch) return best;
        const std::uint8_t* cur = m_pBuffer + position;
        const std::uint32_t h = Hash(cur);
        const std::uint32_t pos = Stored(position);
        std::uint32_t candidate = m_head[h];
        m_prev[pos & kWindowMask] = candidate;
        m_head[h] = pos;
        std::size_t bestLen = kMinMatch - 1;
        for (std::uint32_t depth = m_depthLimit; depth != 0; --depth) {
            const std::uint32_t delta = pos - candidate;
            if (delta > kMaxDistance) break;
            const std::uint8_t* pb = cur - delta;
            // The byte that would make this candidate longer than the best decides first.
            if (pb[bestLen] == cur[bestLen] && pb[0] == cur[0] && pb[1] == cur[1]) {
                std::size_t len = 2;
                while (len != lenLimit && pb[len] == cur[len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    best = {std::uint32_t(len), delta};
                    if (len == lenLimit) break;
                }
            }
            candidate = m_prev[candidate & kWindowMask];
        }
        return best;
    }

private:
    static constexpr unsigned kMostBits = 15;
    std::uint32_t Hash(const std::uint8_t* p) const {
        const std::uint32_t v = p[0] | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
        return (v * 2654435761u) >> (32 - m_bits);
    }

    const std::uint8_t* m_pBuffer;
    std::size_t m_size;
    std::uint32_t m_depthLimit;
    unsigned m_bits;
    std::vector<std::uint32_t> m_head;
    std::vector<std::uint32_t> m_prev;  // the next older position with the same hash, per window slot
};

}  // namespace kv::archive::szdd::detail

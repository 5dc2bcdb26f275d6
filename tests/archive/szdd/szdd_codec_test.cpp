// SZDD codec: exact token layout, round trips at both levels over the test set, the archive
// storage rule and the expander's bounds. Portable: also runs in the Windows builds.
#include "archive/szdd.h"
#include "tests/archive/szdd/szdd_test_set.h"

#include <gtest/gtest.h>

namespace kv::archive::szdd {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Header(std::uint32_t size) {
    Bytes h(kHeaderSize);
    std::copy(std::begin(kSignature), std::end(kSignature), h.begin());
    h[kModeOffset] = kModeA;
    for (int i = 0; i < 4; ++i) h[kSizeOffset + i] = std::uint8_t(size >> (8 * i));
    return h;
}

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SzddCompress, WritesHeaderAndTokensAtRingPosition4080) {
    // 'a' is written at ring position 0xFF0; the rest is a 3-byte match of it (distance 1).
    const Bytes expected = Concat(Header(4), {0x01, 'a', 0xF0, 0xF0});
    EXPECT_EQ(Compress(test::Str("aaaa"), Level::Best), expected);
    EXPECT_EQ(Compress(test::Str("aaaa"), Level::Fast), expected);
}

TEST(SzddCompress, EmptyFileIsHeaderOnly) {
    EXPECT_EQ(Compress({}, Level::Best), Header(0));
    EXPECT_EQ(Compress({}, Level::Fast), Header(0));
}

TEST(SzddCompress, LeadingSpacesMatchTheRingPreFill) {
    // 18 spaces are one match into the pre-fill: a flag byte and one 2-byte token.
    const Bytes spaces(18, ' ');
    for (Level level : {Level::Best, Level::Fast}) {
        const Bytes packed = Compress(spaces, level);
        ASSERT_EQ(packed.size(), kHeaderSize + 3);
        EXPECT_EQ(packed[kHeaderSize], 0x00);
        EXPECT_EQ(packed[kHeaderSize + 2] & 0x0F, 18 - 3);
    }
}

TEST(SzddCompress, RoundTripsTheTestSetAtBothLevels) {
    for (const auto& file : test::MakeTestSet({})) {
        const Bytes best = Compress(file.bytes, Level::Best);
        const Bytes fast = Compress(file.bytes, Level::Fast);
        for (const Bytes* packed : {&best, &fast}) {
            const Expanded e = Expand(*packed);
            EXPECT_EQ(e.status, ExpandStatus::Ok) << file.name;
            EXPECT_EQ(e.declaredSize, file.bytes.size()) << file.name;
            EXPECT_TRUE(e.bytes == file.bytes) << file.name;
        }
        // The optimal parse is never larger than lazy matching, up to the last flag byte.
        EXPECT_LE(best.size(), fast.size() + 1) << file.name;
    }
}

// Fewest bits any parse can reach, by brute force over the whole ring: every start up to 4,095
// bytes back, the 4,096 pre-fill spaces included, tried for its longest match.
std::uint64_t OptimalBits(const Bytes& data) {
    Bytes ring(kRingSize, ' ');
    ring.insert(ring.end(), data.begin(), data.end());
    std::vector<std::uint64_t> cost(data.size() + 1, 0);
    for (std::size_t i = data.size(); i-- > 0;) {
        const std::size_t p = kRingSize + i;
        std::size_t longest = 0;
        for (std::size_t s = p - (kRingSize - 1); s < p; ++s) {
            std::size_t l = 0;
            while (l < kMaxMatch && p + l < ring.size() && ring[s + l] == ring[p + l]) ++l;
            longest = std::max(longest, l);
        }
        cost[i] = cost[i + 1] + 9;
        for (std::size_t l = kMinMatch; l <= longest; ++l) cost[i] = std::min(cost[i], cost[i + l] + 17);
    }
    return cost[0];
}

// Bits of the tokens in a stream: 9 per literal, 17 per match.
std::uint64_t StreamBits(const Bytes& packed) {
    std::uint64_t bits = 0;
    for (std::size_t pos = kHeaderSize; pos < packed.size();) {
        const unsigned flags = packed[pos++];
        for (int bit = 0; bit < 8 && pos < packed.size(); ++bit) {
            const bool literal = (flags >> bit) & 1;
            pos += literal ? 1 : 2;
            bits += literal ? 9 : 17;
        }
    }
    return bits;
}

TEST(SzddCompress, BestLevelReachesTheBruteForceOptimum) {
    Bytes ab = test::TestRandom(12).Bytes(5000);
    for (auto& b : ab) b = " ab"[b % 3];  // many overlapping short and long matches
    const Bytes cases[] = {test::Text(6000, 13), ab, Concat(Bytes(30, ' '), test::Text(4500, 14)),
                           test::Repeat(test::TestRandom(15).Bytes(700), 8)};
    for (const Bytes& data : cases) {
        const std::uint64_t optimum = OptimalBits(data);
        EXPECT_EQ(StreamBits(Compress(data, Level::Best)), optimum);
        EXPECT_GE(StreamBits(Compress(data, Level::Fast)), optimum);
    }
}

TEST(SzddCompressForArchive, StoresIncompressibleFilesAsTheyAre) {
    const Bytes noise = test::TestRandom(9).Bytes(5000);
    EXPECT_TRUE(CompressForArchive(noise) == noise);
    EXPECT_TRUE(CompressForArchive({}).empty());
    const Bytes text = test::Text(5000, 3);
    const Bytes packed = CompressForArchive(text);
    EXPECT_TRUE(HasSignature(packed));
    EXPECT_LT(packed.size(), text.size());
}

TEST(SzddCompressForArchive, WrapsFilesThatBeginWithTheSignature) {
    // Stored as it is, such a file would be expanded by the LZ service: it must be wrapped even
    // when that makes it larger.
    Bytes tricky(std::begin(kSignature), std::end(kSignature));
    const Bytes noise = test::TestRandom(10).Bytes(3000);
    tricky.insert(tricky.end(), noise.begin(), noise.end());
    const Bytes packed = CompressForArchive(tricky);
    EXPECT_GT(packed.size(), tricky.size());
    EXPECT_TRUE(Expand(packed).bytes == tricky);
    const Bytes shortTricky(std::begin(kSignature), std::end(kSignature));
    EXPECT_TRUE(Expand(CompressForArchive(shortTricky)).bytes == shortTricky);
}

TEST(SzddExpand, PassesOtherFilesThroughUnchanged) {
    const Bytes plain = test::Str("MZ plain file, not compressed");
    Expanded e = Expand(plain);
    EXPECT_EQ(e.status, ExpandStatus::NotSzdd);
    EXPECT_TRUE(e.bytes == plain);
    // Too short for a header: the LZ service copies it as it is, signature or not.
    const Bytes stub(std::begin(kSignature), std::end(kSignature));
    e = Expand(stub);
    EXPECT_EQ(e.status, ExpandStatus::NotSzdd);
    EXPECT_TRUE(e.bytes == stub);
    EXPECT_EQ(Expand({}).status, ExpandStatus::NotSzdd);
}

TEST(SzddExpand, EveryCutOfAValidFileIsTruncatedAndAPrefix) {
    const Bytes data = Concat(test::Text(3000, 5), test::TestRandom(6).Bytes(500));
    const Bytes packed = Compress(data, Level::Best);
    for (std::size_t cut = kHeaderSize; cut < packed.size(); ++cut) {
        const Expanded e = Expand(std::span(packed).first(cut));
        ASSERT_EQ(e.status, ExpandStatus::Truncated) << cut;
        ASSERT_LT(e.bytes.size(), data.size());
        ASSERT_TRUE(std::equal(e.bytes.begin(), e.bytes.end(), data.begin())) << cut;
    }
}

TEST(SzddExpand, BytesAfterTheDeclaredSizeAreReported) {
    const Bytes data = test::Text(10000, 8);
    Bytes packed = Compress(data, Level::Fast);
    packed.push_back(0xFF);
    packed.push_back('z');
    Expanded e = Expand(packed);
    EXPECT_EQ(e.status, ExpandStatus::TrailingBytes);
    EXPECT_TRUE(e.bytes == data);
    // A smaller declared size stops the output there, wherever a token ends.
    packed = Compress(data, Level::Best);
    for (std::uint32_t declared : {0u, 1u, 999u, 5000u}) {
        Bytes shorter = packed;
        for (int i = 0; i < 4; ++i) shorter[kSizeOffset + i] = std::uint8_t(declared >> (8 * i));
        e = Expand(shorter);
        EXPECT_EQ(e.status, ExpandStatus::TrailingBytes) << declared;
        EXPECT_TRUE(e.bytes == Bytes(data.begin(), data.begin() + declared)) << declared;
    }
}

TEST(SzddExpand, MatchesReachIntoThePreFillAndOverlapTheirOutput) {
    // Match at ring 0x000 of 18 bytes first: all pre-fill spaces. Then 'x' and a match that starts
    // one before it and overlaps what it writes.
    Bytes stream = Concat(Header(18 + 1 + 5), {0x02, 0x00, 0x0F, 'x', 0x01, 0x02});
    // 'x' went to ring 0x002 (after 18 bytes from 0xFF0); the match at 0x001 repeats " x".
    const Expanded e = Expand(stream);
    EXPECT_EQ(e.status, ExpandStatus::Ok);
    EXPECT_EQ(std::string(e.bytes.begin(), e.bytes.end()), std::string(18, ' ') + "x" + " x x ");
}

}  // namespace
}  // namespace kv::archive::szdd

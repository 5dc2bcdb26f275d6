// The expander against the kept damaged inputs: each file is cut short or corrupted in one place
// and must give exactly the status and the bytes named here.
#include "archive/szdd.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace kv::archive::szdd {
namespace {

std::vector<std::uint8_t> ReadDamaged(const std::string& name) {
    std::ifstream in(std::string(KV_SOURCE_DIR) + "/tests/archive/szdd/damaged/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectExpands(const std::string& name, ExpandStatus status, const std::string& bytes) {
    const Expanded e = Expand(ReadDamaged(name));
    EXPECT_EQ(e.status, status) << name << ": " << StatusName(e.status);
    EXPECT_EQ(std::string(e.bytes.begin(), e.bytes.end()), bytes) << name;
}

TEST(SzddDamaged, HeaderCutShortPassesThroughLikeTheLzService) {
    ExpectExpands("signature-only.szdd", ExpandStatus::NotSzdd,
                  "SZDD\x88\xF0\x27\x33"
                  "AB");
}

TEST(SzddDamaged, UnknownModeIsRefused) { ExpectExpands("bad-mode.szdd", ExpandStatus::BadHeader, ""); }

TEST(SzddDamaged, DataEndingInsideAMatchTokenIsTruncated) {
    ExpectExpands("cut-in-match.szdd", ExpandStatus::Truncated, "a");
}

TEST(SzddDamaged, DataEndingBeforeTheDeclaredSizeIsTruncated) {
    ExpectExpands("cut-before-size.szdd", ExpandStatus::Truncated, "aaaa");
}

TEST(SzddDamaged, ForgedHugeSizeIsTruncatedWithoutAHugeOutput) {
    const Expanded e = Expand(ReadDamaged("huge-size.szdd"));
    EXPECT_EQ(e.status, ExpandStatus::Truncated);
    EXPECT_EQ(e.declaredSize, 0xFFFFFFFFu);
    EXPECT_EQ(std::string(e.bytes.begin(), e.bytes.end()), "aaaa");
    EXPECT_LT(e.bytes.capacity(), 1u << 16);
}

TEST(SzddDamaged, TokensAfterTheDeclaredSizeAreTrailingBytes) {
    ExpectExpands("trailing-bytes.szdd", ExpandStatus::TrailingBytes, "aaaa");
}

TEST(SzddDamaged, MatchRunningPastTheDeclaredSizeIsCutThere) {
    ExpectExpands("match-past-size.szdd", ExpandStatus::TrailingBytes, "aa");
}

TEST(SzddDamaged, MatchFromThePreFillIntoFreshOutput) {
    ExpectExpands("prefill-overlap.szdd", ExpandStatus::Ok, "x x ");
}

}  // namespace
}  // namespace kv::archive::szdd

// The date and code-page conversions under kvpack's project fields: calendar edges and every byte.
#include <gtest/gtest.h>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/file_time.h"

namespace kv::tools {
namespace {

TEST(KvpackFileTime, ParsesAndFormatsTheSameInstant) {
    // 1999-01-29 17:54:25.237 UTC is the FILETIME 0x01BE4BB0687E0850.
    EXPECT_EQ(ParseIsoUtc("1999-01-29T17:54:25.237Z"), FileTime{0x01BE4BB0687E0850});
    EXPECT_EQ(FormatIsoUtc(0x01BE4BB0687E0850), "1999-01-29T17:54:25.237Z");
    EXPECT_EQ(ParseIsoUtc("1601-01-01T00:00:00Z"), FileTime{0});
    EXPECT_EQ(FormatIsoUtc(0), "1601-01-01T00:00:00Z");
    EXPECT_EQ(FormatIsoUtc(1), "1601-01-01T00:00:00.0000001Z");
    EXPECT_EQ(ParseIsoUtc("1970-01-01T00:00:00Z"), FileTime{116444736000000000});
    EXPECT_EQ(FileTimeFromUnix(0), FileTime{116444736000000000});
}

TEST(KvpackFileTime, KnowsLeapYearsAndOffsets) {
    EXPECT_TRUE(ParseIsoUtc("2024-02-29T00:00:00Z"));
    EXPECT_TRUE(ParseIsoUtc("2000-02-29T00:00:00Z"));
    EXPECT_FALSE(ParseIsoUtc("1900-02-29T00:00:00Z"));
    EXPECT_FALSE(ParseIsoUtc("2026-02-29T00:00:00Z"));
    EXPECT_EQ(FormatIsoUtc(*ParseIsoUtc("2024-02-28T23:59:59Z") + 10'000'000), "2024-02-29T00:00:00Z");
    EXPECT_EQ(FormatIsoUtc(*ParseIsoUtc("2026-12-31T23:30:00-01:00")), "2027-01-01T00:30:00Z");
    EXPECT_EQ(FormatIsoUtc(*ParseIsoUtc("2026-01-01 05:00:00+05:30")), "2025-12-31T23:30:00Z");
    // Digits past the seventh are below 100 ns and dropped.
    EXPECT_EQ(ParseIsoUtc("2026-12-01T12:00:00.123456789Z"), ParseIsoUtc("2026-12-01T12:00:00.1234567Z"));
}

TEST(KvpackFileTime, RefusesWhatIsNotAFullUtcTime) {
    for (const char* text :
         {"", "2026-12-01", "2026-12-01T12:00:00", "2026-12-01T12:00Z", "2026-13-01T00:00:00Z", "2026-12-32T00:00:00Z",
          "2026-12-01T24:00:00Z", "2026-12-01T12:60:00Z", "2026-12-01T12:00:00.Z", "2026-12-01T12:00:00Zjunk",
          "2026-12-01T12:00:00+1:00", "1600-12-31T23:59:59Z", "now"}) {
        EXPECT_FALSE(ParseIsoUtc(text)) << text;
    }
}

TEST(KvpackAnsiText, MapsToWindows1252AndBack) {
    EXPECT_EQ(Utf8ToAnsi("Caf\u00e9 \u20ac \u2122"), std::string("Caf\xE9 \x80 \x99"));
    std::string bad;
    EXPECT_FALSE(Utf8ToAnsi("snow \u2603", &bad));
    EXPECT_EQ(bad, "\u2603");
    EXPECT_FALSE(Utf8ToAnsi("\u0081"));    // a C1 control Windows-1252 leaves undefined
    EXPECT_FALSE(Utf8ToAnsi("\xC3"));      // cut-short sequence
    EXPECT_FALSE(Utf8ToAnsi("\xE2\x82"));  // cut-short sequence
    EXPECT_FALSE(Utf8ToAnsi("\x80"));      // continuation byte on its own
    // Every byte the code page defines survives the trip to UTF-8 and back.
    for (int byte = 1; byte < 256; ++byte) {
        if (byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D) continue;
        const std::string ansi(1, static_cast<char>(byte));
        EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(ansi)), ansi) << byte;
    }
    EXPECT_EQ(AnsiToUtf8("\x81"), "\uFFFD");
}

}  // namespace
}  // namespace kv::tools

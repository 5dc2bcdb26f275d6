// The byte format of Kvuninstall.dat: each kind's bytes, damaged files and round trips.
#include <gtest/gtest.h>

#include "uninstall/log_format.h"

namespace kv::uninstall {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

UninstallRecord File(const std::string& path) { return {kKindFile, 0, "", path}; }
UninstallRecord Desktop(const std::string& caption) { return {kKindShortcut, kLocationDesktop, "", caption}; }
UninstallRecord Programs(const std::string& folder, const std::string& caption) {
    return {kKindShortcut, kLocationPrograms, folder, caption};
}
UninstallRecord Product(const std::string& name) { return {kKindProduct, 0, "", name}; }

TEST(LogFormat, EachKindIsItsByteThenZeroEndedStrings) {
    const std::string path = "C:\\App\\a.dll";
    const std::vector<std::uint8_t> file{0x00, 'C', ':', '\\', 'A', 'p', 'p', '\\', 'a', '.', 'd', 'l', 'l', 0x00};
    EXPECT_EQ(EncodeRecord(File(path)), file);
    EXPECT_EQ(EncodeRecord(Desktop("App")), Bytes({0x01, 0x01, 'A', 'p', 'p', 0}));
    EXPECT_EQ(EncodeRecord(Programs("Grp", "App")), Bytes({0x01, 0x00, 'G', 'r', 'p', 0, 'A', 'p', 'p', 0}));
    EXPECT_EQ(EncodeRecord(Product("Name")), Bytes({0x02, 'N', 'a', 'm', 'e', 0}));
    EXPECT_EQ(EncodeRecord(Programs("", "")), Bytes({0x01, 0x00, 0, 0}));
}

TEST(LogFormat, DecodesBackToBackRecordsInFileOrder) {
    std::vector<std::uint8_t> bytes;
    const std::vector<UninstallRecord> records{Product("Name"), File("C:\\App\\a.dll"), Desktop("App"),
                                               Programs("Grp", "App"), File("")};
    for (const auto& record : records) EncodeRecord(record, bytes);
    const DecodedLog decoded = DecodeRecords(bytes);
    EXPECT_FALSE(decoded.truncated);
    EXPECT_EQ(decoded.records, records);
    EXPECT_TRUE(DecodeRecords({}).records.empty());
}

TEST(LogFormat, UnknownKindIsFollowedByTheTextAlone) {
    const DecodedLog decoded = DecodeRecords(Bytes({0x07, 'x', 0, 0x02, 'N', 0}));
    ASSERT_EQ(decoded.records.size(), 2u);
    EXPECT_EQ(decoded.records[0], (UninstallRecord{7, 0, "", "x"}));
    EXPECT_EQ(decoded.records[1], Product("N"));
}

TEST(LogFormat, LocationByteIsWidenedAsSignedAndOnlyZeroHasAFolder) {
    const DecodedLog decoded = DecodeRecords(Bytes({0x01, 0xFF, 'A', 0}));
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0].location, -1);
    EXPECT_EQ(decoded.records[0].text, "A");
    EXPECT_EQ(EncodeRecord(decoded.records[0]), Bytes({0x01, 0xFF, 'A', 0}));
}

TEST(LogFormat, FileCutShortInsideARecordKeepsThatRecordPartlyRead) {
    struct Case {
        std::vector<std::uint8_t> bytes;
        UninstallRecord last;
    };
    const std::vector<Case> cases{
        {Bytes({0x02, 'N', 0, 0x00}), File("")},
        {Bytes({0x02, 'N', 0, 0x00, 'C', ':'}), File("C:")},
        {Bytes({0x02, 'N', 0, 0x01}), {kKindShortcut, 0, "", ""}},
        {Bytes({0x02, 'N', 0, 0x01, 0x00, 'G', 'r'}), {kKindShortcut, 0, "Gr", ""}},
        {Bytes({0x02, 'N', 0, 0x01, 0x00, 'G', 0, 'A'}), {kKindShortcut, 0, "G", "A"}},
    };
    for (const auto& c : cases) {
        const DecodedLog decoded = DecodeRecords(c.bytes);
        EXPECT_TRUE(decoded.truncated);
        ASSERT_EQ(decoded.records.size(), 2u);
        EXPECT_EQ(decoded.records[0], Product("N"));
        EXPECT_EQ(decoded.records[1], c.last) << DescribeRecord(c.last);
        EXPECT_EQ(decoded.completeBytes, 3u);
        EXPECT_EQ(decoded.Complete().size(), 1u);
    }
}

TEST(LogFormat, PathsHaveOneSpellingAndCompareAsWindowsDoes) {
    EXPECT_EQ(CanonicalPath("C:\\App\\\\a.dll"), "C:\\App\\a.dll");
    EXPECT_EQ(CanonicalPath("\\\\server\\share\\\\a"), "\\\\server\\share\\a");  // a network path keeps its start
    EXPECT_TRUE(SamePath("C:\\App\\\\A.DLL", "c:/app/a.dll"));
    EXPECT_TRUE(SamePath("C:\\App\\", "C:\\App"));
    EXPECT_FALSE(SamePath("C:\\App\\a.dll", "C:\\App\\a.dl"));
    // Windows-1252 letters fold as Windows folds them; sharp s and the division sign have no pair.
    EXPECT_TRUE(
        SamePath("C:\\D\xE4"
                 "ta\\\x9A"
                 "a",
                 "C:\\D\xC4"
                 "TA\\\x8A"
                 "A"));
    EXPECT_TRUE(SamePath("\xFF\x9C\x9E", "\x9F\x8C\x8E"));
    EXPECT_FALSE(SamePath("\xDF", "SS"));
    EXPECT_FALSE(SamePath("\xF7", "\xD7"));
}

TEST(LogFormat, OverlongStringsAreKeptWhole) {
    const UninstallRecord longPath = File(std::string(400, 'p'));
    const DecodedLog decoded = DecodeRecords(EncodeRecord(longPath));
    ASSERT_EQ(decoded.records.size(), 1u);
    EXPECT_EQ(decoded.records[0], longPath);
}

}  // namespace
}  // namespace kv::uninstall

// The committed test installers, written byte by byte by make_test_installers.py independently of
// the C++ writer: the valid ones read as intended, each damaged one is refused naming its field.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/installer_file.h"

namespace kv::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadTestFile(const std::string& relative) {
    const std::string path = std::string(KV_SOURCE_DIR) + "/tests/archive/" + relative;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string FieldOfDamaged(const std::string& name) {
    const Bytes file = ReadTestFile("damaged/" + name);
    if (file.empty()) return "(missing)";
    try {
        OpenInstaller(file);
    } catch (const FormatError& error) {
        return error.field();
    }
    return "(accepted)";
}

#define KV_DAMAGED_TEST(testName, fileName, expectedField) \
    TEST(DamagedInstaller, testName) { EXPECT_EQ(FieldOfDamaged(fileName), expectedField); }

KV_DAMAGED_TEST(BadChecksum, "bad-checksum.bin", "checksum")
KV_DAMAGED_TEST(ShorterThanTrailer, "shorter-than-trailer.bin", "manifestLength")
KV_DAMAGED_TEST(ManifestLengthPastFile, "manifest-length-past-file.bin", "manifestLength")
KV_DAMAGED_TEST(TruncatedInTitle, "truncated-in-title.bin", "title")
KV_DAMAGED_TEST(TitlePastLimit, "title-past-limit.bin", "title")
KV_DAMAGED_TEST(ProgramsFolderPastLimit, "programs-folder-past-limit.bin", "programsFolder")
KV_DAMAGED_TEST(TruncatedInDates, "truncated-in-dates.bin", "uninstallerDate")
KV_DAMAGED_TEST(SettingCountPastEnd, "setting-count-past-end.bin", "settingCount")
KV_DAMAGED_TEST(SettingValuePastLimit, "setting-value-past-limit.bin", "settings[1].value")
KV_DAMAGED_TEST(SettingIniWithSeparator, "setting-ini-with-separator.bin", "settings[0].iniFile")
KV_DAMAGED_TEST(FileCountZero, "filecount-zero.bin", "fileCount")
KV_DAMAGED_TEST(FileCountNegative, "filecount-negative.bin", "fileCount")
KV_DAMAGED_TEST(FileCountPastEnd, "count-past-end.bin", "fileCount")
KV_DAMAGED_TEST(TruncatedInRecord, "truncated-in-record.bin", "files[2].offset")
KV_DAMAGED_TEST(EntryOutsideFile, "entry-outside-file.bin", "files[0].offset")
KV_DAMAGED_TEST(EntryOverlapsManifest, "entry-overlaps-manifest.bin", "files[2].length")
KV_DAMAGED_TEST(OffsetPast2GiB, "offset-past-2gib.bin", "files[1].offset")
KV_DAMAGED_TEST(FileWithSeparator, "file-with-separator.bin", "files[1].file")
KV_DAMAGED_TEST(FileDotDot, "file-dotdot.bin", "files[1].file")
KV_DAMAGED_TEST(FileDriveColon, "file-drive-colon.bin", "files[1].file")
KV_DAMAGED_TEST(FolderDotDot, "folder-dotdot.bin", "files[2].folder")
KV_DAMAGED_TEST(FolderAbsolute, "folder-absolute.bin", "files[2].folder")
KV_DAMAGED_TEST(SetupNameWithSeparator, "setup-name-with-separator.bin", "setupName")

constexpr FileTime kArchiveDate = 0x01BE4BB0687E0850;
constexpr FileTime kUninstallerDate = 0x01BE4BB000000000;
constexpr std::uint32_t kImageSize = 64;

TEST(ValidInstaller, MinimalHasEmptyStringsAndTheUninstallerOnly) {
    const OpenedInstaller opened = OpenInstaller(ReadTestFile("valid/valid-minimal.bin"));
    const Manifest& m = opened.manifest;
    EXPECT_EQ(m.title, "");
    EXPECT_EQ(m.displayName, "Minimal");
    EXPECT_EQ(m.setupName, "");
    EXPECT_EQ(m.defaultFolder, "");
    EXPECT_EQ(m.runFile, "");
    EXPECT_EQ(m.programsFolder, "");
    EXPECT_EQ(m.archiveDate, kArchiveDate);
    EXPECT_EQ(m.uninstallerDate, kUninstallerDate);
    EXPECT_TRUE(m.settings.empty());
    ASSERT_EQ(m.files.size(), 1u);
    EXPECT_EQ(m.files[0].file, "Kvuninstall.exe");
    EXPECT_EQ(m.files[0].folder, "");
    EXPECT_EQ(m.files[0].offset, kImageSize);
    EXPECT_EQ(m.files[0].length, 20u);
    EXPECT_EQ(opened.manifestStart, kImageSize + 20);
    EXPECT_EQ(opened.fileSize % 8, 0u);
}

TEST(ValidInstaller, FullHasSettingsThreeRecordsAndIgnoresItsTrailingBytes) {
    const OpenedInstaller opened = OpenInstaller(ReadTestFile("valid/valid-full.bin"));
    const Manifest& m = opened.manifest;
    EXPECT_EQ(m.title, "Demo");
    EXPECT_EQ(m.displayName, "Demo Product");
    EXPECT_EQ(m.setupName, "SETUP.EXE");
    EXPECT_EQ(m.defaultFolder, "C:\\Program Files\\Demo");
    EXPECT_EQ(m.runFile, "APP.EXE");
    EXPECT_EQ(m.programsFolder, "Demo");
    const std::vector<SettingRecord> settings = {{"DEMO.INI", "Paths", "Home", "$INSTALL", 0},
                                                 {"WIN.INI", "Demo", "Level", "3", 1}};
    EXPECT_EQ(m.settings, settings);
    ASSERT_EQ(m.files.size(), 3u);
    const FileRecord app{"APP.EXE", "", "", 1, 0, "My App", kImageSize + 20, 18};
    EXPECT_EQ(m.files[1], app);
    const FileRecord license{"LICENSE.RTF", "Docs", "", 0, 0, "", kImageSize + 20 + 18, 10};
    EXPECT_EQ(m.files[2], license);
    EXPECT_EQ(opened.manifestStart, kImageSize + 20 + 18 + 10);
}

TEST(ValidInstaller, NegativeSettingCountMeansNoSettings) {
    const OpenedInstaller opened = OpenInstaller(ReadTestFile("valid/valid-negative-setting-count.bin"));
    EXPECT_TRUE(opened.manifest.settings.empty());
    EXPECT_EQ(opened.manifest.files.size(), 3u);
}

}  // namespace
}  // namespace kv::archive

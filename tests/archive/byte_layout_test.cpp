// Manifest fields as bytes: a file record written out in full and a FILETIME read back.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "archive/manifest_io.h"

namespace kv::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

Manifest OneRecordManifest(const FileRecord& record) {
    Manifest manifest;
    manifest.files.push_back(record);
    return manifest;
}

FileRecord AppExeRecord() {
    FileRecord record;
    record.file = "APP.EXE";
    record.desktopIcon = 1;
    record.iconName = "My App";
    record.offset = 0x9200;
    record.length = 9446;
    return record;
}

// Six empty header strings, two FILETIMEs, settingCount and fileCount.
constexpr std::size_t kEmptyHeaderSize = 6 + 8 + 8 + 4 + 4;

TEST(FileRecordLayout, AppExeRecordIsTheseBytes) {
    const Bytes expected = {0x41, 0x50, 0x50, 0x2E, 0x45, 0x58, 0x45, 0x00,  // file
                            0x00,                                            // folder
                            0x00,                                            // exeparms
                            0x01, 0x00, 0x00, 0x00,                          // desktopIcon
                            0x00, 0x00, 0x00, 0x00,                          // programsIcon
                            0x4D, 0x79, 0x20, 0x41, 0x70, 0x70, 0x00,        // iconName
                            0x00, 0x92, 0x00, 0x00,                          // offset
                            0xE6, 0x24, 0x00, 0x00};                         // length
    const Bytes written = WriteManifest(OneRecordManifest(AppExeRecord()));
    ASSERT_EQ(written.size(), kEmptyHeaderSize + 33);
    EXPECT_EQ(Bytes(written.end() - 33, written.end()), expected);

    // Read back with the entry lying inside the file (manifest behind it).
    const Manifest read = ReadManifest(written, 0x9200 + 9446);
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0], AppExeRecord());
}

TEST(ManifestLayout, ArchiveDateIsLittleEndianBehindTheSixHeaderStrings) {
    Manifest manifest = OneRecordManifest(AppExeRecord());
    manifest.files[0].offset = 0;
    manifest.files[0].length = 0;
    Bytes block = WriteManifest(manifest);
    const std::uint8_t stamp[8] = {0x50, 0x08, 0x7E, 0x68, 0xB0, 0x4B, 0xBE, 0x01};
    std::copy(std::begin(stamp), std::end(stamp), block.begin() + 6);  // archiveDate follows six empty strings
    EXPECT_EQ(ReadManifest(block, 0).archiveDate, 0x01BE4BB0687E0850u);
}

}  // namespace
}  // namespace kv::archive

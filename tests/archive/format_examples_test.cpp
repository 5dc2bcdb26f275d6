// The worked examples of the installer file format, checked byte for byte.
#include <chrono>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "archive/checksum.h"
#include "archive/installer_file.h"
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

TEST(FormatExamples, FileRecordOfAppExeIsThe33DocumentedBytes) {
    const Bytes expected = {0x41, 0x50, 0x50, 0x2E, 0x45, 0x58, 0x45, 0x00,  // file
                            0x00,                                            // folder
                            0x00,                                            // exeparms
                            0x01, 0x00, 0x00, 0x00,                          // desktopIcon
                            0x00, 0x00, 0x00, 0x00,                          // programsIcon
                            0x4D, 0x79, 0x20, 0x41, 0x70, 0x70, 0x00,        // iconName
                            0x00, 0x92, 0x00, 0x00,                          // offset
                            0xE6, 0x24, 0x00, 0x00};                         // length
    ASSERT_EQ(expected.size(), 33u);
    const Bytes written = WriteManifest(OneRecordManifest(AppExeRecord()));
    ASSERT_EQ(written.size(), kEmptyHeaderSize + 33);
    EXPECT_EQ(Bytes(written.end() - 33, written.end()), expected);

    // Read back with the entry lying inside the file (manifest behind it).
    const Manifest read = ReadManifest(written, 0x9200 + 9446);
    ASSERT_EQ(read.files.size(), 1u);
    EXPECT_EQ(read.files[0], AppExeRecord());
}

TEST(FormatExamples, FileTimeBytesAreLittleEndianAndNameTheDocumentedInstant) {
    Manifest manifest = OneRecordManifest(AppExeRecord());
    manifest.files[0].offset = 0;
    manifest.files[0].length = 0;
    Bytes block = WriteManifest(manifest);
    const std::uint8_t stamp[8] = {0x50, 0x08, 0x7E, 0x68, 0xB0, 0x4B, 0xBE, 0x01};
    std::copy(std::begin(stamp), std::end(stamp), block.begin() + 6);  // archiveDate follows six empty strings
    const Manifest read = ReadManifest(block, 0);
    EXPECT_EQ(read.archiveDate, 0x01BE4BB0687E0850u);

    // FILETIME counts 100 ns ticks from 1601-01-01; the Unix epoch lies 11644473600 s later.
    using namespace std::chrono;
    using Ticks = duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const sys_days unixEpoch{year{1970} / January / 1};
    const auto fileTimeEpoch = sys_days{year{1601} / January / 1};
    EXPECT_EQ(duration_cast<seconds>(unixEpoch - fileTimeEpoch).count(), 11644473600);
    const auto instant = fileTimeEpoch + Ticks{static_cast<std::int64_t>(read.archiveDate)};
    const auto expected = sys_days{year{1999} / January / 29} + hours{17} + minutes{54} + seconds{25} +
                          milliseconds{237};
    EXPECT_EQ(duration_cast<milliseconds>(instant.time_since_epoch()), expected.time_since_epoch());
    EXPECT_EQ((instant - expected), Ticks{0});  // exact: no sub-millisecond remainder
}

TEST(FormatExamples, SignedSumOfFourBytesIsMinus63) {
    const Bytes bytes = {0x41, 0xFF, 0x80, 0x01};
    EXPECT_EQ(SignedByteSum(bytes), 0xFFFFFFC1u);
    // The same bytes summed unsigned would give 0x1C1: the check must not do that.
    EXPECT_NE(SignedByteSum(bytes), 0x41u + 0xFFu + 0x80u + 0x01u);
    // As a whole file with the stored value behind it, the four bytes pass.
    const Bytes file = {0x41, 0xFF, 0x80, 0x01, 0xC1, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ChecksumOf(file), 0xFFFFFFC1u);
}

// A 277,169-byte installer whose manifest of 904 bytes and trailer 88 03 00 00 8A 32 1E 00 are the
// documented ones: the program image is filled so that the signed sum comes out at 0x001E328A.
TEST(FormatExamples, TrailerLocatesA904ByteManifestAt0x43721In277169Bytes) {
    constexpr std::size_t kFileSize = 277169;
    constexpr std::size_t kManifestLength = 904;
    constexpr std::uint32_t kChecksum = 0x001E328A;

    Manifest manifest;
    manifest.title = "Example";
    manifest.files.push_back(AppExeRecord());
    Bytes block = WriteManifest(manifest);
    ASSERT_LT(block.size(), kManifestLength);
    block.resize(kManifestLength, 0);  // trailing bytes, ignored by the reader

    Bytes file(kFileSize, 0);
    const std::size_t manifestStart = kFileSize - 8 - kManifestLength;
    std::copy(block.begin(), block.end(), file.begin() + manifestStart);
    const std::uint8_t trailer[8] = {0x88, 0x03, 0x00, 0x00, 0x8A, 0x32, 0x1E, 0x00};
    std::copy(std::begin(trailer), std::end(trailer), file.end() - 8);
    // Fill the image from offset 2 with positive bytes until the sum reaches the stored value.
    std::int64_t missing = std::int64_t{kChecksum} - std::int64_t{ChecksumOf(file)};
    ASSERT_GT(missing, 0);
    for (std::size_t i = 2; missing > 0; ++i) {
        const auto add = static_cast<std::uint8_t>(std::min<std::int64_t>(missing, 0x7F));
        file[i] = add;
        missing -= add;
    }
    ASSERT_LT(0x9200u, manifestStart);

    const OpenedInstaller opened = OpenInstaller(file);
    EXPECT_EQ(opened.trailer.manifestLength, 904u);
    EXPECT_EQ(opened.trailer.checksum, 0x001E328Au);
    EXPECT_EQ(opened.manifestStart, 0x43721u);
    EXPECT_EQ(opened.fileSize, kFileSize);
    EXPECT_EQ(opened.manifest, manifest);
}

}  // namespace
}  // namespace kv::archive

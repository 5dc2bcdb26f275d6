// Building and opening whole installers: the layout the builder writes, the round trip, the
// checksum catching any changed byte, the trailer's sanity checks, and signed files.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "archive/pe_signing.h"
#include "archive/manifest_io.h"
#include "tests/archive/minimal_pe.h"

namespace kv::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

Manifest DemoManifest() {
    Manifest manifest;
    manifest.title = "Demo";
    manifest.displayName = "Demo 1.0";
    manifest.setupName = "SETUP.EXE";
    manifest.defaultFolder = "C:\\Demo";
    manifest.runFile = "APP.EXE";
    manifest.programsFolder = "Demo";
    manifest.archiveDate = 0x01BE4BB0687E0850;
    manifest.settings.push_back({"DEMO.INI", "Paths", "Home", "$INSTALL", 0});
    FileRecord uninstaller;
    uninstaller.file = kUninstallerName;
    manifest.files.push_back(uninstaller);
    FileRecord app;
    app.file = "APP.EXE";
    app.desktopIcon = 1;
    app.iconName = "My App";
    manifest.files.push_back(app);
    FileRecord license;
    license.file = "LICENSE.RTF";
    license.folder = "Docs";
    manifest.files.push_back(license);
    return manifest;
}

const std::vector<Bytes> kEntries = {Bytes(37, 0xA1), Bytes(0), Bytes{0x10, 0x81, 0x7F, 0x80}};

std::uint32_t U32At(const Bytes& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

std::string FieldOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FormatError& error) {
        return error.field();
    }
    return "(accepted)";
}

TEST(BuildInstaller, LaysOutImageEntriesManifestAndTrailerAndReadsBack) {
    for (std::size_t imageSize = 0; imageSize <= 16; ++imageSize) {
        const Bytes image(imageSize, 0x4D);
        const Bytes file = BuildInstaller(image, DemoManifest(), kEntries);
        SCOPED_TRACE("image of " + std::to_string(imageSize) + " bytes");

        EXPECT_EQ(file.size() % 8, 0u);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), file.begin()));
        const ArchiveTrailer trailer = ReadTrailer(file);
        EXPECT_EQ(trailer.checksum, ChecksumOf(file));
        EXPECT_EQ(trailer.checksum, U32At(file, file.size() - 4));

        const OpenedInstaller opened = OpenInstaller(file);
        Manifest expected = DemoManifest();
        std::uint32_t at = static_cast<std::uint32_t>(imageSize);
        for (std::size_t i = 0; i < kEntries.size(); ++i) {
            expected.files[i].offset = at;
            expected.files[i].length = static_cast<std::uint32_t>(kEntries[i].size());
            EXPECT_TRUE(std::equal(kEntries[i].begin(), kEntries[i].end(), file.begin() + at)) << i;
            at += expected.files[i].length;
        }
        EXPECT_EQ(opened.manifest, expected);
        // The manifest follows the last entry; behind its fields lie one zero byte and zero padding
        // (fewer than 8 bytes of it), all counted in manifestLength.
        EXPECT_EQ(opened.manifestStart, at);
        const Bytes fields = WriteManifest(expected);
        EXPECT_TRUE(std::equal(fields.begin(), fields.end(), file.begin() + at));
        const std::size_t trailing = trailer.manifestLength - fields.size();
        EXPECT_GE(trailing, 1u);
        EXPECT_LE(trailing, 8u);
        EXPECT_TRUE(std::all_of(file.begin() + at + static_cast<std::ptrdiff_t>(fields.size()), file.end() - 8,
                                [](std::uint8_t b) { return b == 0; }));
    }
}

TEST(BuildInstaller, RefusesWhatAReaderWouldRefuseNamingTheField) {
    const Bytes image(64, 0x4D);
    EXPECT_EQ(FieldOf([&] { BuildInstaller(image, DemoManifest(), {kEntries[0], kEntries[1]}); }), "files");

    Manifest longTitle = DemoManifest();
    longTitle.title.assign(kTitleLimit + 1, 'T');
    EXPECT_EQ(FieldOf([&] { BuildInstaller(image, longTitle, kEntries); }), "title");

    Manifest escaping = DemoManifest();
    escaping.files[2].folder = "..\\..\\WINDOWS";
    EXPECT_EQ(FieldOf([&] { BuildInstaller(image, escaping, kEntries); }), "files[2].folder");

    Manifest noFiles = DemoManifest();
    noFiles.files.clear();
    EXPECT_EQ(FieldOf([&] { BuildInstaller(image, noFiles, {}); }), "fileCount");
}

TEST(OpenInstaller, EverySingleChangedByteFailsTheChecksum) {
    const Bytes file = BuildInstaller(Bytes(24, 0x4D), DemoManifest(), kEntries);
    for (std::size_t at = 0; at < file.size(); ++at) {
        for (std::uint8_t change : {0x01, 0x80, 0xFF}) {
            Bytes damaged = file;
            damaged[at] ^= change;
            EXPECT_EQ(FieldOf([&] { OpenInstaller(damaged); }), "checksum") << "byte " << at << " ^ " << int{change};
        }
    }
    try {
        Bytes damaged = file;
        damaged[3] += 1;
        OpenInstaller(damaged);
    } catch (const FormatError& error) {
        EXPECT_NE(std::string(error.what()).find("checksum does not match"), std::string::npos) << error.what();
    }
}

// Rewrites the trailer's manifestLength and restores a matching checksum.
Bytes WithManifestLength(Bytes file, std::uint32_t manifestLength) {
    for (int i = 0; i < 4; ++i) file[file.size() - 8 + i] = static_cast<std::uint8_t>(manifestLength >> (8 * i));
    const std::uint32_t sum = ChecksumOf(file);
    for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    return file;
}

TEST(OpenInstaller, TheManifestLengthMustFitInFrontOfTheTrailer) {
    const Bytes file = BuildInstaller(Bytes(24, 0x4D), DemoManifest(), kEntries);
    const std::uint32_t room = static_cast<std::uint32_t>(file.size() - 8);
    EXPECT_EQ(FieldOf([&] { OpenInstaller(WithManifestLength(file, room + 1)); }), "manifestLength");
    EXPECT_EQ(FieldOf([&] { OpenInstaller(WithManifestLength(file, 0xFFFFFFFFu)); }), "manifestLength");
    // The whole file taken as manifest: the entries now lie behind its start.
    EXPECT_EQ(FieldOf([&] { OpenInstaller(WithManifestLength(file, room)); }), "files[0].offset");
    EXPECT_EQ(FieldOf([&] { OpenInstaller(WithManifestLength(file, 0)); }), "title");

    EXPECT_EQ(FieldOf([&] { OpenInstaller(Bytes{}); }), "checksum");
    EXPECT_EQ(FieldOf([&] { OpenInstaller(Bytes{1, 2, 3}); }), "checksum");
    EXPECT_EQ(FieldOf([&] { OpenInstaller(Bytes{0, 0, 0, 0}); }), "manifestLength");
    EXPECT_EQ(FieldOf([&] { ReadTrailer(Bytes(7, 0)); }), "manifestLength");
    EXPECT_EQ(ReadTrailer(Bytes{9, 9, 0x88, 0x03, 0x00, 0x00, 0x8A, 0x32, 0x1E, 0x00}),
              (ArchiveTrailer{904, 0x001E328A}));
}

void PutU32At(Bytes& file, std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// What Authenticode signing does to a file: a certificate table appended behind the trailer, the
// security directory entry pointing at it, and the PE checksum field rewritten.
Bytes Signed(Bytes file, std::size_t tableSize = 24) {
    const std::size_t tableAt = file.size();
    file.resize(tableAt + tableSize, 0x5C);
    PutU32At(file, test::kMinimalPeSecurityEntryAt, tableAt);
    PutU32At(file, test::kMinimalPeSecurityEntryAt + 4, tableSize);
    PutU32At(file, test::kMinimalPeChecksumAt, 0x00031337);
    return file;
}

TEST(OpenInstaller, ASignedFileEndsBeforeItsCertificateTableAndCountsTheRewrittenFieldsAsZeros) {
    const Bytes file = BuildInstaller(test::MinimalPeImage(), DemoManifest(), kEntries);
    const OpenedInstaller plain = OpenInstaller(file);
    EXPECT_FALSE(plain.certificateTable.has_value());
    const Bytes signedFile = Signed(file);
    const OpenedInstaller opened = OpenInstaller(signedFile);
    EXPECT_EQ(opened.manifest, plain.manifest);
    EXPECT_EQ(opened.archiveEnd, file.size());
    EXPECT_EQ(opened.fileSize, signedFile.size());
    ASSERT_TRUE(opened.certificateTable.has_value());
    EXPECT_EQ(opened.certificateTable->offset, file.size());
    EXPECT_EQ(opened.certificateTable->size, 24u);

    for (std::size_t at = 0; at < signedFile.size(); ++at) {
        Bytes changed = signedFile;
        changed[at] ^= 0x01;
        const bool rewrittenBySigning = at >= test::kMinimalPeChecksumAt && at < test::kMinimalPeChecksumAt + 4;
        if (at >= file.size() || rewrittenBySigning) {
            EXPECT_EQ(FieldOf([&] { OpenInstaller(changed); }), "(accepted)") << "byte " << at;
        } else {
            EXPECT_EQ(FieldOf([&] { OpenInstaller(changed); }), "checksum") << "byte " << at;
        }
    }
}

TEST(OpenInstaller, ASecurityEntryThatDoesNotRunToTheEndLeavesTheUnsignedRule) {
    const Bytes file = BuildInstaller(test::MinimalPeImage(), DemoManifest(), kEntries);
    const Bytes signedFile = Signed(file);
    Bytes pastEnd = signedFile;
    PutU32At(pastEnd, test::kMinimalPeSecurityEntryAt + 4, 0xFFFFFFF0u);  // the table would run past the file
    Bytes tooShort = Signed(file, 4);                                     // shorter than one certificate header
    Bytes lostHeaders = signedFile;
    PutU32At(lostHeaders, 0x3C, 0xFFFFFFF0u);  // the PE headers far outside the file
    for (const Bytes* damaged : {&pastEnd, &tooShort, &lostHeaders}) {
        EXPECT_EQ(FieldOf([&] { OpenInstaller(*damaged); }), "checksum");
    }
    // Without a signature, the PE checksum field is summed like any other byte.
    Bytes unsignedChanged = file;
    PutU32At(unsignedChanged, test::kMinimalPeChecksumAt, 0x00031337);
    EXPECT_EQ(FieldOf([&] { OpenInstaller(unsignedChanged); }), "checksum");
}

TEST(ClearPeSigningFields, ZeroesBothFieldsOfAProgramImageAndRefusesOtherData) {
    Bytes image = test::MinimalPeImage();
    PutU32At(image, test::kMinimalPeChecksumAt, 0x00020197);
    PutU32At(image, test::kMinimalPeSecurityEntryAt, 0x300);
    ASSERT_TRUE(ClearPeSigningFields(image));
    EXPECT_EQ(image, test::MinimalPeImage());
    Bytes notAProgram(0x400, 0x4D);
    EXPECT_FALSE(ClearPeSigningFields(notAProgram));
    Bytes cut = test::MinimalPeImage();
    cut.resize(test::kMinimalPeSecurityEntryAt + 4);  // the headers end inside the security entry
    EXPECT_FALSE(ClearPeSigningFields(cut));
}

}  // namespace
}  // namespace kv::archive

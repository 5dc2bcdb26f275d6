// The manifest reader and writer: round trips, every field's limit, truncation anywhere, counts
// that the block cannot hold, entry positions, and the path rules.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archive/manifest_io.h"

namespace kv::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint64_t kFarStart = 0x100000;  // a manifest start behind every entry used here

FileRecord Record(std::string file, std::string folder, std::uint32_t offset, std::uint32_t length) {
    FileRecord record;
    record.file = std::move(file);
    record.folder = std::move(folder);
    record.offset = offset;
    record.length = length;
    return record;
}

Manifest SampleManifest() {
    Manifest manifest;
    manifest.title = "Korvalin Demo";
    manifest.displayName = "Korvalin Demo 1.0";
    manifest.setupName = "SETUP.EXE";
    manifest.defaultFolder = "C:\\Program Files\\Demo";
    manifest.runFile = "APP.EXE";
    manifest.programsFolder = "Demo";
    manifest.archiveDate = 0x01BE4BB0687E0850;
    manifest.uninstallerDate = 0x01BE000000000001;
    manifest.settings.push_back({"DEMO.INI", "Paths", "Home", "$INSTALL\\data", 0});
    manifest.settings.push_back({"WIN.INI", "Demo", "Level", "3", 7});
    manifest.files.push_back(Record("Kvuninstall.exe", "", 100, 50));
    FileRecord app = Record("APP.EXE", "", 150, 9446);
    app.exeparms = "/quiet";
    app.desktopIcon = 1;
    app.programsIcon = 2;
    app.iconName = "My App. The best";
    manifest.files.push_back(app);
    manifest.files.push_back(Record("LICENSE.RTF", "Docs", 9596, 10));
    return manifest;
}

std::string FieldOfError(const Bytes& block, std::uint64_t manifestStart = kFarStart) {
    try {
        ReadManifest(block, manifestStart);
    } catch (const FormatError& error) {
        return error.field();
    }
    return "(accepted)";
}

std::string FieldOfCheck(const Manifest& manifest) {
    try {
        CheckManifest(manifest);
    } catch (const FormatError& error) {
        return error.field();
    }
    return "(accepted)";
}

TEST(ManifestRoundTrip, WhatIsWrittenReadsBackTheSame) {
    const Manifest manifest = SampleManifest();
    EXPECT_EQ(ReadManifest(WriteManifest(manifest), kFarStart), manifest);

    Manifest empty;  // every string empty, no settings, one record
    empty.files.push_back(Record("A", "", 0, 0));
    const Bytes block = WriteManifest(empty);
    // Empty strings are single zero bytes and shift nothing: 6 + 8 + 8 + 4 + 4 header bytes, then
    // the record: "A", three empty strings and four integers.
    EXPECT_EQ(block.size(), 30u + 2 + 1 + 1 + 1 + 16);
    EXPECT_EQ(ReadManifest(block, 0), empty);
}

TEST(ManifestRoundTrip, EveryStringAtItsLimitIsAcceptedAndOneMoreIsRefusedNamingTheField) {
    struct Case {
        const char* field;
        std::size_t limit;
        std::function<std::string&(Manifest&)> member;
    };
    const std::vector<Case> cases = {
        {"title", kTitleLimit, [](Manifest& m) -> std::string& { return m.title; }},
        {"displayName", kDisplayNameLimit, [](Manifest& m) -> std::string& { return m.displayName; }},
        {"setupName", kPathLimit, [](Manifest& m) -> std::string& { return m.setupName; }},
        {"defaultFolder", kPathLimit, [](Manifest& m) -> std::string& { return m.defaultFolder; }},
        {"runFile", kPathLimit, [](Manifest& m) -> std::string& { return m.runFile; }},
        {"programsFolder", kProgramsFolderLimit, [](Manifest& m) -> std::string& { return m.programsFolder; }},
        {"settings[1].iniFile", kShortFieldLimit, [](Manifest& m) -> std::string& { return m.settings[1].iniFile; }},
        {"settings[1].section", kShortFieldLimit, [](Manifest& m) -> std::string& { return m.settings[1].section; }},
        {"settings[1].key", kShortFieldLimit, [](Manifest& m) -> std::string& { return m.settings[1].key; }},
        {"settings[0].value", kPathLimit, [](Manifest& m) -> std::string& { return m.settings[0].value; }},
        {"files[2].file", kPathLimit, [](Manifest& m) -> std::string& { return m.files[2].file; }},
        {"files[2].folder", kPathLimit, [](Manifest& m) -> std::string& { return m.files[2].folder; }},
        {"files[1].exeparms", kShortFieldLimit, [](Manifest& m) -> std::string& { return m.files[1].exeparms; }},
        {"files[1].iconName", kShortFieldLimit, [](Manifest& m) -> std::string& { return m.files[1].iconName; }},
    };
    for (const Case& c : cases) {
        Manifest atLimit = SampleManifest();
        c.member(atLimit) = std::string(c.limit, 'x');
        EXPECT_EQ(ReadManifest(WriteManifest(atLimit), kFarStart), atLimit) << c.field;
        EXPECT_EQ(FieldOfCheck(atLimit), "(accepted)") << c.field;

        Manifest over = SampleManifest();
        c.member(over) = std::string(c.limit + 1, 'x');
        EXPECT_EQ(FieldOfError(WriteManifest(over)), c.field);
        EXPECT_EQ(FieldOfCheck(over), c.field);
    }
}

TEST(ManifestRead, EveryTruncationIsRefusedAndTrailingBytesAreIgnored) {
    const Manifest manifest = SampleManifest();
    const Bytes block = WriteManifest(manifest);
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        EXPECT_THROW(ReadManifest(Bytes(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut)), kFarStart),
                     FormatError)
            << "cut at " << cut;
    }
    for (std::size_t extra : {1u, 7u, 300u}) {
        Bytes padded = block;
        padded.insert(padded.end(), extra, static_cast<std::uint8_t>(extra));
        EXPECT_EQ(ReadManifest(padded, kFarStart), manifest) << extra << " trailing bytes";
    }
}

// Offsets of the two counts in a manifest with the sample header and no settings.
struct Layout {
    Bytes block;
    std::size_t settingCountAt;
    std::size_t fileCountAt;
};

Layout NoSettingsLayout() {
    Manifest manifest = SampleManifest();
    manifest.settings.clear();
    Layout layout{WriteManifest(manifest), 0, 0};
    Manifest headerOnly = manifest;
    headerOnly.files.clear();
    layout.fileCountAt = WriteManifest(headerOnly).size() - 4;
    layout.settingCountAt = layout.fileCountAt - 4;
    return layout;
}

void PutU32At(Bytes& block, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

TEST(ManifestRead, CountsAreCheckedAgainstTheBytesLeftBeforeAnythingIsAllocated) {
    Layout layout = NoSettingsLayout();
    // settingCount 0 goes straight on to fileCount; a negative count means no settings as well.
    EXPECT_TRUE(ReadManifest(layout.block, kFarStart).settings.empty());
    for (std::uint32_t negative : {0xFFFFFFFFu, 0x80000000u}) {
        Bytes block = layout.block;
        PutU32At(block, layout.settingCountAt, negative);
        EXPECT_TRUE(ReadManifest(block, kFarStart).settings.empty());
    }
    for (std::uint32_t huge : {0x7FFFFFFFu, 1000u}) {
        Bytes block = layout.block;
        PutU32At(block, layout.settingCountAt, huge);
        EXPECT_EQ(FieldOfError(block), "settingCount") << huge;
        block = layout.block;
        PutU32At(block, layout.fileCountAt, huge);
        EXPECT_EQ(FieldOfError(block), "fileCount") << huge;
    }
    for (std::uint32_t tooFew : {0u, 0xFFFFFFFFu, 0x80000000u}) {
        Bytes block = layout.block;
        PutU32At(block, layout.fileCountAt, tooFew);
        EXPECT_EQ(FieldOfError(block), "fileCount") << tooFew;
    }
    // Four records claimed, three present: the count passes the size estimate, the fourth record
    // runs off the end.
    Bytes block = layout.block;
    PutU32At(block, layout.fileCountAt, 4);
    EXPECT_EQ(FieldOfError(block).rfind("files[3].", 0), 0u) << FieldOfError(block);
}

TEST(ManifestRead, EntriesMustLieInFrontOfTheManifest) {
    auto blockWith = [](std::uint32_t offset, std::uint32_t length) {
        Manifest manifest = SampleManifest();
        manifest.files[1].offset = offset;
        manifest.files[1].length = length;
        return WriteManifest(manifest);
    };
    const std::uint64_t start = 20000;
    EXPECT_EQ(FieldOfError(blockWith(19000, 1000), start), "(accepted)");  // ends exactly at the manifest
    EXPECT_EQ(FieldOfError(blockWith(20000, 0), start), "(accepted)");     // an empty entry at the very end
    EXPECT_EQ(FieldOfError(blockWith(19000, 1001), start), "files[1].length");
    EXPECT_EQ(FieldOfError(blockWith(20001, 0), start), "files[1].offset");
    EXPECT_EQ(FieldOfError(blockWith(19000, 0xFFFFFFFFu), start), "files[1].length");  // no 32-bit wrap
    EXPECT_EQ(FieldOfError(blockWith(0x80000000u, 0), 0x100000000ull), "files[1].offset");
    EXPECT_EQ(FieldOfError(blockWith(0x7FFFFFFFu, 1), 0x100000000ull), "(accepted)");
}

TEST(ManifestRead, NamesThatWouldWriteOutsideTheirFolderAreRefused) {
    auto withFile = [](const std::string& name) {
        Manifest manifest = SampleManifest();
        manifest.files[1].file = name;
        return manifest;
    };
    for (const char* good :
         {"APP.EXE", "a", ".profile", "x..y", "READ ME.TXT", "..a", "CONSOLE.TXT", "COM10", "nulx", "LPT0"}) {
        EXPECT_EQ(FieldOfError(WriteManifest(withFile(good))), "(accepted)") << good;
        EXPECT_EQ(FieldOfCheck(withFile(good)), "(accepted)") << good;
    }
    for (const char* bad : {"", ".", "..", "...", ".. ", " ", "..\\APP.EXE", "sub\\APP.EXE", "sub/APP.EXE", "C:APP.EXE",
                            "APP.EXE:stream", "\\APP.EXE",
                            // Devices, not files: nothing is placed and the product could never be removed.
                            "NUL", "nul.txt", "COM1", "Con .txt", "lpt9.log.bak", "aux ", "COM\xB9",
                            // Windows drops trailing dots and blanks: three records for one file.
                            "C.TXT.", "C.TXT ", "C.TXT. ."}) {
        EXPECT_EQ(FieldOfError(WriteManifest(withFile(bad))), "files[1].file") << '"' << bad << '"';
        EXPECT_EQ(FieldOfCheck(withFile(bad)), "files[1].file") << '"' << bad << '"';
    }

    auto withFolder = [](std::size_t index, const std::string& folder) {
        Manifest manifest = SampleManifest();
        manifest.files[index].folder = folder;
        return manifest;
    };
    for (const char* good : {"", ".", "Docs", "Docs\\Sub", "Docs/Sub", "a..b", "..a", "Docs\\.\\x", "Docs\\",
                             "a\\b\\c\\d", "CONFIG\\console", "com0\\LPT10"}) {
        EXPECT_EQ(FieldOfError(WriteManifest(withFolder(2, good))), "(accepted)") << good;
        EXPECT_EQ(FieldOfCheck(withFolder(2, good)), "(accepted)") << good;
    }
    for (const char* bad :
         {"..",          "..\\x",  "x\\..",     "x\\..\\..\\y", "x/../y", "\\WINDOWS", "/etc",   "\\\\server\\share",
          "C:\\Temp",    "C:Temp", "x\\...\\y", "x\\.. \\y",    "a\\\\b", "a\\b\\\\",  "a\\CON", "nul.txt\\b",
          "a\\Com1 \\b", "lpt9",   "Docs.",     "Docs \\x"}) {
        EXPECT_EQ(FieldOfError(WriteManifest(withFolder(2, bad))), "files[2].folder") << '"' << bad << '"';
        EXPECT_EQ(FieldOfCheck(withFolder(2, bad)), "files[2].folder") << '"' << bad << '"';
    }
    // The Programs-menu folder follows the same rules under the Programs menu.
    for (const char* bad : {"..\\..\\..\\Escaped", "C:\\Escaped", "\\Escaped", "Grp\\CON", "Grp."}) {
        Manifest manifest = SampleManifest();
        manifest.programsFolder = bad;
        EXPECT_EQ(FieldOfError(WriteManifest(manifest)), "programsFolder") << '"' << bad << '"';
    }
    // The first record's empty folder sends the uninstaller to the Windows directory by design.
    EXPECT_EQ(FieldOfError(WriteManifest(withFolder(0, ""))), "(accepted)");

    // The product name must come back unchanged from the uninstaller's command line.
    for (const char* bad : {"App ", " App", "App\t", "Say \"Hi\"", "App /S", "/s", "A /S B"}) {
        Manifest named = SampleManifest();
        named.displayName = bad;
        EXPECT_EQ(FieldOfError(WriteManifest(named)), "displayName") << '"' << bad << '"';
        EXPECT_EQ(FieldOfCheck(named), "displayName") << '"' << bad << '"';
    }
    for (const char* good : {"App", "App 2.0", "Prod/S", "A/S B", "App (x64)"}) {
        Manifest named = SampleManifest();
        named.displayName = good;
        EXPECT_EQ(FieldOfCheck(named), "(accepted)") << good;
    }

    // The installer's own copy and the profile files are names inside a known folder too.
    Manifest setup = SampleManifest();
    setup.setupName = "..\\SETUP.EXE";
    EXPECT_EQ(FieldOfError(WriteManifest(setup)), "setupName");
    Manifest ini = SampleManifest();
    ini.settings[1].iniFile = "C:\\AUTOEXEC.BAT";
    EXPECT_EQ(FieldOfError(WriteManifest(ini)), "settings[1].iniFile");
}

TEST(ManifestWrite, RefusesStringsThatTheLayoutCannotCarry) {
    Manifest manifest = SampleManifest();
    manifest.files[2].exeparms = std::string("a\0b", 3);
    try {
        WriteManifest(manifest);
        FAIL() << "a zero byte inside a string was written";
    } catch (const FormatError& error) {
        EXPECT_EQ(error.field(), "files[2].exeparms");
    }
    EXPECT_EQ(FieldOfCheck(manifest), "files[2].exeparms");

    Manifest noFiles = SampleManifest();
    noFiles.files.clear();
    EXPECT_EQ(FieldOfCheck(noFiles), "fileCount");
}

}  // namespace
}  // namespace kv::archive

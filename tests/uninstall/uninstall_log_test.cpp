// The uninstall log over a fake system: loading, merging, appending and the registration.
#include <gtest/gtest.h>

#include "fake_system.h"
#include "uninstall/registration.h"
#include "uninstall/uninstall_log.h"

namespace kv::uninstall {
namespace {

using os::testing::FakeSystem;

constexpr char kDataFile[] = "C:\\App\\Kvuninstall.dat";

std::vector<std::uint8_t> Encode(std::initializer_list<UninstallRecord> records) {
    std::vector<std::uint8_t> bytes;
    for (const auto& record : records) EncodeRecord(record, bytes);
    return bytes;
}

struct UninstallLogTest : ::testing::Test {
    FakeSystem system;
    UninstallLogTest() { system.AddDirectory("C:\\App"); }
};

TEST_F(UninstallLogTest, NewDataFileStartsWithTheProduct) {
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App"));
    log.AddProduct("Name");
    log.AddFile("C:\\App\\a.dll");
    log.AddShortcut(kLocationDesktop, std::nullopt, "App");
    log.AddShortcut(kLocationPrograms, std::string("Grp"), "App");
    log.Close();
    EXPECT_EQ(system.FileBytes(kDataFile), Encode({{kKindProduct, 0, "", "Name"},
                                                   {kKindFile, 0, "", "C:\\App\\a.dll"},
                                                   {kKindShortcut, 1, "", "App"},
                                                   {kKindShortcut, 0, "Grp", "App"}}));
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(UninstallLogTest, ExistingRecordsAreMergedAndOnlyNewOnesAppended) {
    const auto existing = Encode({{kKindProduct, 0, "", "Name"},
                                  {kKindFile, 0, "", "C:\\App\\a.dll"},
                                  {kKindFile, 0, "", "C:\\App\\a.dll"}});  // a duplicate stays twice in the file
    system.AddFile(kDataFile, existing);
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App"));
    EXPECT_EQ(log.Records().size(), 2u);  // ...and is held once
    log.AddProduct("Name");
    log.AddFile("C:\\App\\a.dll");
    log.AddFile("C:\\App\\A.DLL");  // case-sensitive: a new record
    log.AddProduct("Other");
    log.Close();
    auto expected = existing;
    const auto added = Encode({{kKindFile, 0, "", "C:\\App\\A.DLL"}, {kKindProduct, 0, "", "Other"}});
    expected.insert(expected.end(), added.begin(), added.end());
    EXPECT_EQ(system.FileBytes(kDataFile), expected);
}

TEST_F(UninstallLogTest, ShortcutsDifferingOnlyInLocationAreTwoRecords) {
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App"));
    log.AddShortcut(kLocationDesktop, std::nullopt, "App");
    log.AddShortcut(kLocationPrograms, std::string(""), "App");
    log.AddShortcut(kLocationDesktop, std::nullopt, "App");
    EXPECT_EQ(log.Records().size(), 2u);
}

// A run killed while writing (or a disk that filled up) leaves a record cut short. The next run
// must not append behind it: its product record would be read as part of the old path.
TEST_F(UninstallLogTest, DataFileCutShortLosesOnlyThePartialRecordAndNewRecordsStartOnABoundary) {
    const auto whole = Encode({{kKindProduct, 0, "", "N"}, {kKindFile, 0, "", "C:\\App\\n.dll"}});
    for (const std::vector<std::uint8_t> partial :
         {std::vector<std::uint8_t>{0x00, 'C', ':', '\\', 'A'}, {0x01}, {0x01, 0x00, 'G'}, {0x02, 'M'}}) {
        auto cut = whole;
        cut.insert(cut.end(), partial.begin(), partial.end());
        system.AddFile(kDataFile, cut);
        UninstallLog log(system);
        ASSERT_TRUE(log.Open("C:\\App"));
        EXPECT_TRUE(log.LoadedTruncated());
        EXPECT_EQ(log.Records().size(), 2u);
        log.AddProduct("M");
        log.AddFile("C:\\App\\m.dll");
        log.Close();
        auto expected = whole;
        const auto added = Encode({{kKindProduct, 0, "", "M"}, {kKindFile, 0, "", "C:\\App\\m.dll"}});
        expected.insert(expected.end(), added.begin(), added.end());
        EXPECT_EQ(system.FileBytes(kDataFile), expected);
    }
    // A file that cannot be cut back is not written to at all.
    auto cut = whole;
    cut.push_back(0x00);
    system.AddFile(kDataFile, cut);
    system.FailOn("Truncate");
    UninstallLog log(system);
    EXPECT_FALSE(log.Open("C:\\App"));
    log.AddProduct("M");
    EXPECT_EQ(system.FileBytes(kDataFile), cut);
}

// Paths are logged in one spelling, and a file that another product recorded is recorded for this
// one as well, so that removing either product keeps it for the other.
TEST_F(UninstallLogTest, PathsAreLoggedInOneSpellingAndOnceForEachProduct) {
    system.AddFile(kDataFile, Encode({{kKindProduct, 0, "", "A"}, {kKindFile, 0, "", "C:\\App\\common.dll"}}));
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App\\"));
    log.AddProduct("B");
    log.AddFile("C:\\App\\\\common.dll");
    log.AddFile("C:\\App\\common.dll");
    log.AddProduct("A");  // A installed again after B: its new records must follow its own record
    log.AddFile("C:\\App\\common.dll");
    log.AddFile("C:\\App\\late.dll");
    log.Close();
    EXPECT_EQ(system.FileBytes(kDataFile),
              Encode({{kKindProduct, 0, "", "A"}, {kKindFile, 0, "", "C:\\App\\common.dll"},
                      {kKindProduct, 0, "", "B"}, {kKindFile, 0, "", "C:\\App\\common.dll"},
                      {kKindProduct, 0, "", "A"}, {kKindFile, 0, "", "C:\\App\\late.dll"}}));
}

TEST_F(UninstallLogTest, UnopenableFileChangesNothingAndAClosedLogWritesNothing) {
    system.FailOn("OpenFile", "Kvuninstall.dat", 1);
    UninstallLog log(system);
    EXPECT_FALSE(log.Open("C:\\App"));
    EXPECT_FALSE(system.Exists(kDataFile));
    log.AddFile("C:\\App\\a.dll");
    EXPECT_FALSE(system.Exists(kDataFile));
    EXPECT_FALSE(UninstallLog(system).Open("C:\\Missing"));
}

TEST_F(UninstallLogTest, WriteErrorsAreIgnored) {
    system.FailOn("Write", "Kvuninstall.dat", 1);
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App"));
    log.AddProduct("Name");
    log.AddFile("C:\\App\\a.dll");
    EXPECT_EQ(log.Records().size(), 2u);
}

TEST_F(UninstallLogTest, StampTimeSetsAllThreeTimesOfAClosedFile) {
    system.AddFile(kDataFile, {});
    UninstallLog log(system);
    log.StampTime("C:\\App\\", 1234);  // a folder text with a trailing backslash finds the file too
    const auto* node = system.Find(kDataFile);
    EXPECT_EQ(node->created, 1234u);
    EXPECT_EQ(node->accessed, 1234u);
    EXPECT_EQ(node->written, 1234u);
    log.StampTime("C:\\Nowhere", 1);  // reports nothing
}

TEST(Registration, WritesBothValuesUnderTheUninstallKey) {
    FakeSystem system;
    RegisterUninstall(system, "C:\\WINDOWS", "C:\\Program Files\\App", "App Name");
    const auto& key = system.m_registry.at("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App Name");
    EXPECT_EQ(key.at("DisplayName"), "App Name");
    EXPECT_EQ(key.at("UninstallString"), "C:\\WINDOWS\\Kvuninstall.exe C:\\Program Files\\App|App Name");
    RegisterUninstall(system, "C:\\WINDOWS", "C:\\", "Name");
    EXPECT_EQ(system.m_registry.at(UninstallKeyPath("Name")).at("UninstallString"),
              "C:\\WINDOWS\\Kvuninstall.exe C:\\|Name");
}

TEST(Registration, KeyPathLimits) {
    FakeSystem system;
    const std::string longest(207, 'n');
    EXPECT_EQ(UninstallKeyPath(longest).size(), 259u);
    RegisterUninstall(system, "C:\\WINDOWS", "C:\\App", longest);
    EXPECT_EQ(system.m_registry.size(), 1u);
    RegisterUninstall(system, "C:\\WINDOWS", "C:\\App", longest + "x");  // would not fit: nothing written
    EXPECT_EQ(system.m_registry.size(), 1u);
}

TEST(Registration, ARefusedValueDoesNotStopTheOther) {
    FakeSystem system;
    system.FailOn("SetExpandString", "DisplayName");
    RegisterUninstall(system, "C:\\WINDOWS", "C:\\App", "Name");
    const auto& key = system.m_registry.at(UninstallKeyPath("Name"));
    EXPECT_EQ(key.count("DisplayName"), 0u);
    EXPECT_EQ(key.count("UninstallString"), 1u);
}

}  // namespace
}  // namespace kv::uninstall

// The uninstall log over a fake system: loading, merging, appending and the registration.
#include <tuple>

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
    log.AddFile("C:\\App\\A.DLL");  // the same file to Windows: nothing new
    log.AddFile("C:\\App\\b.dll");
    log.AddShortcut(kLocationPrograms, std::string("Grp"), "App");
    log.AddShortcut(kLocationPrograms, std::string("GRP"), "APP");  // the same .lnk file
    log.AddProduct("Other");
    log.Close();
    auto expected = existing;
    const auto added = Encode(
        {{kKindFile, 0, "", "C:\\App\\b.dll"}, {kKindShortcut, 0, "Grp", "App"}, {kKindProduct, 0, "", "Other"}});
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
    for (const std::vector<std::uint8_t>& partial :
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
    EXPECT_EQ(system.FileBytes(kDataFile), Encode({{kKindProduct, 0, "", "A"},
                                                   {kKindFile, 0, "", "C:\\App\\common.dll"},
                                                   {kKindProduct, 0, "", "B"},
                                                   {kKindFile, 0, "", "C:\\App\\common.dll"},
                                                   {kKindProduct, 0, "", "A"},
                                                   {kKindFile, 0, "", "C:\\App\\late.dll"}}));
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

// A record cut short or a close that cannot flush leaves records out of the data file: the run goes
// on (the list stays whole), and Close says so once.
TEST_F(UninstallLogTest, AShortWriteOrAFailedCloseIsToldByClose) {
    for (const char* call : {"Write", "Close"}) {
        FakeSystem failing;
        failing.AddDirectory("C:\\App");
        failing.FailOn(call, "Kvuninstall.dat", 1);
        UninstallLog log(failing);
        ASSERT_TRUE(log.Open("C:\\App"));
        log.AddProduct("Name");
        log.AddFile("C:\\App\\a.dll");
        EXPECT_EQ(log.Records().size(), 2u);
        EXPECT_FALSE(log.Close()) << call;
        EXPECT_TRUE(log.Close()) << "told once";
    }
    UninstallLog log(system);
    ASSERT_TRUE(log.Open("C:\\App"));
    log.AddProduct("Name");
    EXPECT_TRUE(log.Close());
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

UninstallEntry Entry(const std::string& folder, const std::string& name) {
    return {"C:\\WINDOWS", folder, name, 0, std::nullopt};
}

TEST(Registration, WritesTheWholeEntryUnderTheUninstallKey) {
    FakeSystem system;
    system.m_today = {2026, 3, 9};
    UninstallEntry entry = Entry("C:\\Program Files\\App", "App Name");
    entry.placedBytes = 2049;
    entry.displayIcon = "C:\\Program Files\\App\\APP.EXE";
    EXPECT_TRUE(RegisterUninstall(system, entry).Registered());
    const std::string keyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App Name";
    // FOLDER|PRODUCT quoted, so that cmd.exe takes the bar and the blanks as text.
    const std::string command = "C:\\WINDOWS\\Kvuninstall.exe \"C:\\Program Files\\App|App Name\"";
    using Values = std::map<std::string, std::string>;
    EXPECT_EQ(system.m_registry.at(keyPath), (Values{{"DisplayName", "App Name"},
                                                     {"UninstallString", command},
                                                     {"QuietUninstallString", command + " /S"},
                                                     {"InstallLocation", "C:\\Program Files\\App"},
                                                     {"DisplayIcon", "C:\\Program Files\\App\\APP.EXE"},
                                                     {"InstallDate", "20260309"},
                                                     {"EstimatedSize", "3"},
                                                     {"NoModify", "1"},
                                                     {"NoRepair", "1"}}));
    EXPECT_EQ(system.m_registryTypes.at(keyPath), (Values{{"DisplayName", "REG_EXPAND_SZ"},
                                                          {"UninstallString", "REG_SZ"},
                                                          {"QuietUninstallString", "REG_SZ"},
                                                          {"InstallLocation", "REG_SZ"},
                                                          {"DisplayIcon", "REG_SZ"},
                                                          {"InstallDate", "REG_SZ"},
                                                          {"EstimatedSize", "REG_DWORD"},
                                                          {"NoModify", "REG_DWORD"},
                                                          {"NoRepair", "REG_DWORD"}}));
    // No runFile placed: no icon. A root folder keeps its backslash.
    RegisterUninstall(system, Entry("C:\\", "Name"));
    EXPECT_EQ(system.m_registry.at(UninstallKeyPath("Name")).at("UninstallString"),
              "C:\\WINDOWS\\Kvuninstall.exe \"C:\\|Name\"");
    // A Windows directory with a blank: the program's path is quoted too.
    EXPECT_EQ(UninstallCommandLine("C:\\My Windows", "C:\\App", "Name"),
              "\"C:\\My Windows\\Kvuninstall.exe\" \"C:\\App|Name\"");
    EXPECT_EQ(system.m_registry.at(UninstallKeyPath("Name")).count("DisplayIcon"), 0u);
    EXPECT_EQ(system.m_registry.at(UninstallKeyPath("Name")).count("Publisher"), 0u);
    // The product's own values, when the installer carries them.
    UninstallEntry product = Entry("C:\\App", "Prod");
    product.publisher = "Wine Project";
    product.version = "8.12.1-rc1";
    product.url = "https://wine.example/";
    product.helpLink = "mailto:help@wine.example";
    EXPECT_TRUE(RegisterUninstall(system, product).Registered());
    const Values& values = system.m_registry.at(UninstallKeyPath("Prod"));
    const Values& types = system.m_registryTypes.at(UninstallKeyPath("Prod"));
    for (const auto& [name, value, type] : {std::tuple{"Publisher", "Wine Project", "REG_SZ"},
                                            {"DisplayVersion", "8.12.1-rc1", "REG_SZ"},
                                            {"URLInfoAbout", "https://wine.example/", "REG_SZ"},
                                            {"HelpLink", "mailto:help@wine.example", "REG_SZ"},
                                            {"VersionMajor", "8", "REG_DWORD"},
                                            {"VersionMinor", "12", "REG_DWORD"}}) {
        EXPECT_EQ(values.at(name), value) << name;
        EXPECT_EQ(types.at(name), type) << name;
    }
    EXPECT_EQ(SizeInKiB(0), 0u);
    EXPECT_EQ(SizeInKiB(1024), 1u);
    EXPECT_EQ(SizeInKiB(0x40000000000ull), 0xFFFFFFFFu);
}

TEST(Registration, KeyPathLimits) {
    FakeSystem system;
    const std::string longest(207, 'n');
    EXPECT_EQ(UninstallKeyPath(longest).size(), 259u);
    EXPECT_TRUE(RegisterUninstall(system, Entry("C:\\App", longest)).Registered());
    EXPECT_EQ(system.m_registry.size(), 1u);
    // Would not fit: nothing written, and told.
    EXPECT_EQ(RegisterUninstall(system, Entry("C:\\App", longest + "x")).problem,
              "the key HKLM\\" + UninstallKeyPath(longest + "x") + " is longer than 259 characters");
    EXPECT_EQ(system.m_registry.size(), 1u);
}

TEST(Registration, ARefusedKeyOrValueIsToldAndDoesNotStopTheOtherValues) {
    FakeSystem system;
    system.FailOn("SetExpandString", "DisplayName");
    system.FailOn("SetDword", "NoModify");
    EXPECT_EQ(RegisterUninstall(system, Entry("C:\\App", "Name")).problem, "the value DisplayName was refused");
    const auto& key = system.m_registry.at(UninstallKeyPath("Name"));
    EXPECT_EQ(key.count("DisplayName"), 0u);
    EXPECT_EQ(key.count("NoModify"), 0u);
    EXPECT_EQ(key.size(), 6u);
    system.FailOn("CreateMachineKey");
    EXPECT_EQ(RegisterUninstall(system, Entry("C:\\App", "Other")).problem,
              "the key HKLM\\" + UninstallKeyPath("Other") + " could not be created");
}

}  // namespace
}  // namespace kv::uninstall

// File placement: targets, skip rules, retries, time stamps, shortcuts, logging and progress.
#include <gtest/gtest.h>

#include "install/file_placement.h"
#include "install/shortcuts.h"
#include "run_fixture.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

using testing::Bytes;
using testing::RunFixture;

struct PlacementTest : ::testing::Test, RunFixture {
    uninstall::UninstallLog log{system};
    PlacementContext ctx{system, ui, manifest, entries, log, "C:\\App", "C:\\WINDOWS", "My Product"};

    void SetUp() override {
        system.AddDirectory("C:\\App");
        system.ChangeDirectory("C:\\App");
        ASSERT_TRUE(log.Open("C:\\App"));
    }
    std::vector<std::string> Logged() const {
        std::vector<std::string> texts;
        for (const auto& record : log.Records()) texts.push_back(uninstall::DescribeRecord(record));
        return texts;
    }
};

TEST_F(PlacementTest, PlacesEachRecordWhereItBelongsWithItsTimeStamp) {
    AddRecord("Kvuninstall.exe", "", "uninstaller");
    AddRecord("APP.EXE", "", "application");
    AddRecord("help.hlp", "doc", "help text");
    ASSERT_TRUE(PlaceFiles(ctx));

    EXPECT_EQ(system.FileBytes("C:\\WINDOWS\\Kvuninstall.exe"), Bytes("uninstaller"));
    EXPECT_EQ(system.FileBytes("C:\\App\\APP.EXE"), Bytes("application"));
    EXPECT_EQ(system.FileBytes("C:\\App\\doc\\help.hlp"), Bytes("help text"));
    EXPECT_EQ(system.Find("C:\\WINDOWS\\Kvuninstall.exe")->created, kUninstallerDate);
    EXPECT_EQ(system.Find("C:\\App\\APP.EXE")->written, kArchiveDate);
    EXPECT_EQ(system.Find("C:\\App\\doc\\help.hlp")->accessed, kArchiveDate);
    EXPECT_FALSE(system.Exists("C:\\App\\Kvtmpexp.dat"));
    // The uninstaller is not logged; the others are, with the folder text joined to the target.
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\APP.EXE\"", "file \"C:\\App\\doc\\help.hlp\""}));
    EXPECT_EQ(ctx.lastPlacedPath, "C:\\App\\doc\\help.hlp");
    // Each placed record steps the bar for the whole count of records.
    EXPECT_EQ(ui.m_progressSteps, 3);
    EXPECT_EQ(ui.m_progressFileCount, 3);
}

TEST_F(PlacementTest, FirstRecordWithAFolderGoesToTheInstallationFolderStampedButNotLogged) {
    AddRecord("Kvuninstall.exe", "bin", "uninstaller");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.Find("C:\\App\\bin\\Kvuninstall.exe")->created, kUninstallerDate);
    EXPECT_TRUE(Logged().empty());
}

TEST_F(PlacementTest, UninstallerAtOrAfterTheArchiveDateIsKept) {
    system.AddFile("C:\\WINDOWS\\Kvuninstall.exe", Bytes("newer"), kArchiveDate);
    AddRecord("Kvuninstall.exe", "", "uninstaller");
    AddRecord("APP.EXE", "", "application");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\WINDOWS\\Kvuninstall.exe"), Bytes("newer"));
    // The skipped record makes no step, so the bar does not reach its end.
    EXPECT_EQ(ui.m_progressSteps, 1);
}

TEST_F(PlacementTest, OlderUninstallerIsReplaced) {
    system.AddFile("C:\\WINDOWS\\Kvuninstall.exe", Bytes("older"), kArchiveDate - 1);
    AddRecord("Kvuninstall.exe", "", "uninstaller");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\WINDOWS\\Kvuninstall.exe"), Bytes("uninstaller"));
}

// A run stopped while writing a file that the skip rules keep by date must not leave a
// half-written copy that the next run then keeps.
TEST_F(PlacementTest, FilesKeptByDateThatWereLeftHalfWrittenAreReplacedByTheNextRun) {
    AddRecord("Kvuninstall.exe", "", "uninstaller");
    AddRecord("state.itc", "", "state");
    system.FailOn("LzExpand", "Kvuninstall.exe", 1);
    system.FailOn("LzExpand", "state.itc", 1);
    EXPECT_FALSE(PlaceFiles(ctx));  // stopped inside the uninstaller
    EXPECT_FALSE(PlaceFiles(ctx));  // stopped inside state.itc
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\WINDOWS\\Kvuninstall.exe"), Bytes("uninstaller"));
    EXPECT_EQ(system.FileBytes("C:\\App\\state.itc"), Bytes("state"));
}

TEST_F(PlacementTest, DataFilesAreKeptByExtensionAndCreationTime) {
    system.AddFile("C:\\App\\data.ITC", Bytes("same date"), kArchiveDate);
    system.AddFile("C:\\App\\old.sbb", Bytes("older"), kArchiveDate - 1);
    system.AddFile("C:\\App\\old.itc\\name", Bytes("no extension"), kArchiveDate + 5);
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("data.ITC", "", "new itc");
    AddRecord("old.sbb", "", "new sbb");
    AddRecord("name", "old.itc", "new name");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\App\\data.ITC"), Bytes("same date"));
    EXPECT_EQ(system.FileBytes("C:\\App\\old.sbb"), Bytes("new sbb"));
    EXPECT_EQ(system.FileBytes("C:\\App\\old.itc\\name"), Bytes("new name"));  // no skip test made
    EXPECT_EQ(Logged().size(), 2u);                                            // the skipped record is dropped whole
}

TEST(SkipRule, ExtensionIsTheTextFromTheLastDot) {
    EXPECT_TRUE(IsKeptDataFile("data.itc"));
    EXPECT_TRUE(IsKeptDataFile("sub\\DATA.SbB"));
    EXPECT_FALSE(IsKeptDataFile("old.itc\\name"));
    EXPECT_FALSE(IsKeptDataFile("data.itcx"));
    EXPECT_FALSE(IsKeptDataFile("itc"));
}

TEST_F(PlacementTest, LockedTargetIsTriedTenTimesOneSecondApart) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "", "application");
    system.AddFile("C:\\App\\APP.EXE", Bytes("running"));
    system.Find("C:\\App\\APP.EXE")->locked = true;
    const Result placed = PlaceFiles(ctx);
    EXPECT_EQ(system.m_sleeps, std::vector<unsigned>(10, 1000u));
    EXPECT_EQ(placed.failure(), (Failure{FailureKind::FileNotCreated, "APP.EXE", {"My Product"}}));
    // The record was logged before the write was tried.
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\APP.EXE\""}));
}

TEST_F(PlacementTest, TargetThatOpensOnALaterAttemptIsWritten) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "", "application");
    system.FailOn("OpenFile", "APP.EXE", 3);
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.m_sleeps.size(), 3u);
    EXPECT_EQ(system.FileBytes("C:\\App\\APP.EXE"), Bytes("application"));
}

TEST_F(PlacementTest, NestedFolderIsCreatedLevelByLevelBelowTheInstallationFolder) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("a.txt", "one\\two\\three", "x");
    AddRecord("b.txt", "one\\two", "y");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\App\\one\\two\\three\\a.txt"), Bytes("x"));
    EXPECT_EQ(system.FileBytes("C:\\App\\one\\two\\b.txt"), Bytes("y"));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\one\\two\\three\\a.txt\"",
                                                  "file \"C:\\App\\one\\two\\b.txt\""}));
}

TEST_F(PlacementTest, NestedLevelThatCannotBeMadeFailsLikeALockedFile) {
    system.FailOn("MakeDirectory", "two");
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("a.txt", "one\\two", "x");
    EXPECT_EQ(PlaceFiles(ctx).failure(), (Failure{FailureKind::FileNotCreated, "one\\two\\a.txt", {"My Product"}}));
}

struct FailureCase {
    const char* call;
    const char* pathPart;
    FailureKind kind;
};

class PlacementFailure : public PlacementTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(PlacementFailure, EndsThePassWithItsMessageAndLeavesNoScratchFile) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "", "application");
    AddRecord("later.dll", "", "never placed");
    system.FailOn(GetParam().call, GetParam().pathPart);
    EXPECT_EQ(PlaceFiles(ctx).failure(), (Failure{GetParam().kind, "APP.EXE"}));
    EXPECT_FALSE(system.Exists("C:\\App\\later.dll"));
    EXPECT_FALSE(system.Exists("C:\\App\\Kvtmpexp.dat"));
    EXPECT_FALSE(system.Exists("C:\\WINDOWS\\Kvtmpexp.dat"));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\APP.EXE\""}));
    EXPECT_EQ(ui.m_progressSteps, 1);  // only the uninstaller was counted
}

INSTANTIATE_TEST_SUITE_P(Injected, PlacementFailure,
                         ::testing::Values(FailureCase{"OpenFile", "App\\Kvtmpexp.dat", FailureKind::FileNotWritten},
                                           FailureCase{"Write", "App\\Kvtmpexp.dat", FailureKind::FileNotWritten},
                                           FailureCase{"LzExpand", "APP.EXE", FailureKind::FileNotExpanded},
                                           FailureCase{"SetTimes", "APP.EXE", FailureKind::FileNotStamped},
                                           FailureCase{"Close", "APP.EXE", FailureKind::FileNotWritten}));

// The entry is written to the folder's scratch file and expanded from it into the target: the
// target is opened once, the scratch file once per folder, and nothing is deleted, renamed or
// reopened for its times, each of which costs a request to the system per installed file.
TEST_F(PlacementTest, EachFileIsOpenedOnceAndTheScratchFileServesTheWholeFolder) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "", "application");
    AddRecord("b.dll", "", "library");
    AddRecord("c.hlp", "doc", "help");
    AddRecord("d.hlp", "DOC", "more help");  // the same folder to Windows, and to its scratch file
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.CountCalls("OpenFile C:\\App\\APP.EXE"), 0);  // opened by its target text
    EXPECT_EQ(system.CountCalls("OpenFile APP.EXE"), 1);
    EXPECT_EQ(system.CountCalls("OpenFile C:\\App\\Kvtmpexp.dat"), 1);
    EXPECT_EQ(system.CountCalls("OpenFile C:\\App\\doc\\Kvtmpexp.dat"), 1);
    EXPECT_EQ(system.CountCalls("OpenFile C:\\App\\DOC\\Kvtmpexp.dat"), 0);
    EXPECT_EQ(system.CountCalls("RenameFile"), 0);
    EXPECT_EQ(system.CountCalls("SetFileTimes"), 0);
    // Removed once per folder, when the pass ends.
    EXPECT_EQ(system.CountCalls("RemoveFile"), 3);
    for (const char* folder : {"C:\\App", "C:\\App\\doc", "C:\\WINDOWS"})
        EXPECT_FALSE(system.Exists(std::string(folder) + "\\Kvtmpexp.dat")) << folder;
    EXPECT_EQ(system.FileBytes("C:\\App\\b.dll"), Bytes("library"));
    EXPECT_EQ(system.Find("C:\\App\\doc\\c.hlp")->created, kArchiveDate);
}

// A file of the scratch file's name in a target folder is overwritten and removed, as the expansion
// always did to it; a record of that name cannot be expanded from itself and is refused.
TEST_F(PlacementTest, ScratchFileNameIsTakenInEveryTargetFolder) {
    system.AddFile("C:\\App\\Kvtmpexp.dat", Bytes("leftover"));
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "", "application");
    AddRecord("kvtmpexp.DAT", "", "stored under the reserved name");
    EXPECT_EQ(PlaceFiles(ctx).failure(), (Failure{FailureKind::FileNotExpanded, "kvtmpexp.DAT"}));
    EXPECT_EQ(system.FileBytes("C:\\App\\APP.EXE"), Bytes("application"));
    EXPECT_FALSE(system.Exists("C:\\App\\Kvtmpexp.dat"));
}

TEST_F(PlacementTest, EntryPastTheEndOfTheInstallerIsRefusedNotFilledWithZeros) {
    AddRecord("Kvuninstall.exe", "", "u");
    auto& record = AddRecord("APP.EXE", "", "application");
    record.length += 5;
    EXPECT_EQ(PlaceFiles(ctx).failure(), (Failure{FailureKind::FileNotWritten, "APP.EXE"}));
    EXPECT_FALSE(system.Exists("C:\\App\\APP.EXE"));
}

TEST_F(PlacementTest, ShortcutsComeDesktopFirstAndAreLoggedAfterTheFile) {
    AddRecord("Kvuninstall.exe", "", "u");
    auto& app = AddRecord("app.exe", "bin", "application");
    app.desktopIcon = 1;
    app.programsIcon = 1;
    app.iconName = "Notes 1.2";
    app.exeparms = "-x";
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\bin\\app.exe\"", "shortcut desktop \"Notes 1.2\"",
                                                  "shortcut programs \"Grp\" \"Notes 1.2\""}));
    const auto& desktop = system.m_links.at(system.Key("C:\\Users\\me\\Desktop\\Notes 1.lnk"));
    EXPECT_EQ(desktop.target, "C:\\App\\bin\\app.exe");
    EXPECT_EQ(desktop.description, "Notes 1.2");
    EXPECT_EQ(desktop.arguments, "-x");
    EXPECT_EQ(desktop.workingDirectory, "C:\\App\\bin");
    EXPECT_TRUE(system.m_links.count(system.Key("C:\\Users\\me\\Start Menu\\Programs\\Grp\\Notes 1.lnk")));
}

TEST_F(PlacementTest, FailedShortcutIsReportedNotLoggedAndTheRunGoesOn) {
    AddRecord("Kvuninstall.exe", "", "u");
    auto& app = AddRecord("app.exe", "", "application");
    app.desktopIcon = 1;
    app.programsIcon = 1;
    app.iconName = "App";
    system.FailOn("SaveShellLink", "Desktop");
    ASSERT_TRUE(PlaceFiles(ctx));
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0].text, "Failed to create Icon");
    EXPECT_EQ(ui.m_messages[0].caption, "Installation Failed");
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"C:\\App\\app.exe\"", "shortcut programs \"Grp\" \"App\""}));
    EXPECT_EQ(ui.m_progressSteps, 2);
}

TEST_F(PlacementTest, ShortcutToTheUninstallerInTheWindowsDirectoryPointsAtIt) {
    auto& first = AddRecord("Kvuninstall.exe", "", "u");
    first.desktopIcon = 1;
    first.iconName = "Uninstall";
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.m_links.at(system.Key("C:\\Users\\me\\Desktop\\Uninstall.lnk")).target,
              "C:\\WINDOWS\\Kvuninstall.exe");
}

TEST_F(PlacementTest, LaunchRequestTakesTheLastPlacedRunFileRecord) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord("APP.EXE", "one", "a").exeparms = "-first";
    AddRecord("APP.EXE", "two", "b").exeparms = "-second";
    AddRecord("app.exe", "", "c");  // differs in case: not runFile
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_TRUE(ctx.launch.set);
    EXPECT_EQ(ctx.launch.workingDirectory, "C:\\App\\two");
    EXPECT_EQ(ctx.launch.parameters, "-second");
}

TEST_F(PlacementTest, PathThatDoesNotFitIsRefusedBeforeAnythingIsWritten) {
    AddRecord("Kvuninstall.exe", "", "u");
    AddRecord(std::string(250, 'n'), "", "x");  // C:\App\ + 250 = 257 fits
    AddRecord(std::string(253, 'n'), "", "x");  // 260 does not
    const std::string tooLong = "C:\\App\\" + std::string(253, 'n');
    EXPECT_EQ(PlaceFiles(ctx).failure(), (Failure{FailureKind::FileNotCreated, tooLong, {"My Product"}}));
    EXPECT_EQ(Logged().size(), 1u);
}

// The uninstaller in the Windows directory is neither logged nor joined to the folder: a folder
// too long for that joined path still takes it.
TEST_F(PlacementTest, LongFolderStillTakesTheUninstallerInTheWindowsDirectory) {
    const std::string folder = "C:\\" + std::string(240, 'f');
    system.AddDirectory(folder);
    system.ChangeDirectory(folder);
    ctx.installFolder = folder;
    AddRecord("Kvuninstall.exe", "", "uninstaller");
    AddRecord("a.txt", "", "a");
    ASSERT_TRUE(PlaceFiles(ctx));
    EXPECT_EQ(system.FileBytes("C:\\WINDOWS\\Kvuninstall.exe"), Bytes("uninstaller"));
    EXPECT_EQ(Logged(), (std::vector<std::string>{"file \"" + folder + "\\a.txt\""}));
}

TEST(Shortcut, EmptyMenuFolderPutsItDirectlyIntoProgramsAndMissingFoldersFail) {
    testing::FakeSystem system;
    EXPECT_TRUE(CreateShortcut(system, ShortcutPlace::ProgramsMenu, "", "C:\\App\\a.exe", "A", "C:\\App", ""));
    EXPECT_TRUE(system.m_links.count(system.Key("C:\\Users\\me\\Start Menu\\Programs\\A.lnk")));
    EXPECT_FALSE(CreateShortcut(system, ShortcutPlace::ProgramsMenu, "One\\Two", "C:\\App\\a.exe", "A", "C:\\App", ""));
    system.FailOn("SpecialFolderPath");
    EXPECT_FALSE(CreateShortcut(system, ShortcutPlace::Desktop, "", "C:\\App\\a.exe", "A", "C:\\App", ""));
}

}  // namespace
}  // namespace kv::install

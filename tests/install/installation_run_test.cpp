// The whole run over a fake system: each outcome and what it leaves behind, launch mode, the
// licence pass, the self-copy and the completion question.
#include <gtest/gtest.h>

#include "archive/product_texts.h"
#include "install/messages.h"
#include "install/product_texts.h"
#include "install/quiet_run_ui.h"
#include "run_fixture.h"
#include "uninstall/log_format.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

using testing::Bytes;
using testing::RunFixture;

constexpr char kDataFile[] = "C:\\App\\Kvuninstall.dat";
constexpr char kKeyPath[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My Product 1.0";

struct RunTest : ::testing::Test, RunFixture {
    RunTest() {
        manifest.settings.push_back({"app.ini", "Main", "Dir", "$INSTALL", 0});
        AddStandardRecords();
    }
    std::vector<std::string> DataFileRecords() {
        std::vector<std::string> texts;
        auto bytes = system.FileBytes(kDataFile);
        if (!bytes) return texts;
        for (const auto& record : uninstall::DecodeRecords(*bytes).records)
            texts.push_back(uninstall::DescribeRecord(record));
        return texts;
    }
    bool SettingWritten() { return system.m_profiles[system.Key("C:\\WINDOWS\\app.ini")]["Main"]["Dir"] == "C:\\App"; }
    bool Registered() { return system.m_registry.count(kKeyPath) != 0; }
};

TEST_F(RunTest, SuccessfulRunInstallsLogsRegistersAndClosesTheDialog) {
    system.m_ownTexts[KV_TEXT_VERSION] = "1.0";
    EXPECT_EQ(Install(), RunOutcome::Completed);

    EXPECT_FALSE(result.failure);
    EXPECT_TRUE(ui.m_controlsDisabled);
    EXPECT_EQ(system.m_cwd, "C:\\App");
    EXPECT_TRUE(SettingWritten());
    EXPECT_EQ(system.FileBytes("C:\\App\\APP.EXE"), Bytes("application"));
    EXPECT_EQ(system.FileBytes("C:\\App\\setup.exe"), Bytes("the installer"));
    EXPECT_EQ(system.Find("C:\\App\\setup.exe")->created, kArchiveDate);
    EXPECT_EQ(DataFileRecords(),
              (std::vector<std::string>{"product \"My Product 1.0\"", "file \"C:\\App\\APP.EXE\"",
                                        "shortcut desktop \"My App\"", "file \"C:\\App\\setup.exe\""}));
    EXPECT_EQ(system.Find(kDataFile)->written, system.m_now);
    EXPECT_EQ(system.m_registry[kKeyPath]["DisplayName"], "My Product 1.0");
    EXPECT_EQ(system.m_registry[kKeyPath]["UninstallString"],
              "C:\\WINDOWS\\Kvuninstall.exe \"C:\\App|My Product 1.0\"");
    EXPECT_EQ(system.m_registry[kKeyPath]["InstallLocation"], "C:\\App");
    EXPECT_EQ(system.m_registry[kKeyPath]["DisplayIcon"], "C:\\App\\APP.EXE");
    // "application", 11 bytes: the uninstaller in the Windows directory is shared, not the product's.
    EXPECT_EQ(system.m_registry[kKeyPath]["EstimatedSize"], "1");
    EXPECT_EQ(system.m_registry[kKeyPath]["DisplayVersion"], "1.0");  // from the program's string table
    EXPECT_EQ(system.m_registry[kKeyPath].count("Publisher"), 0u);
    // One step before the pass and one per placed file: the bar fills.
    EXPECT_EQ(ui.m_progressSteps, 3);
    ASSERT_EQ(ui.m_messages.size(), 1u);
    EXPECT_EQ(ui.m_messages[0].text, "The installation is complete.\nWould you like to run My Product  now?");
    EXPECT_EQ(ui.m_messages[0].caption, "Installation Complete");
    EXPECT_TRUE(ui.m_messages[0].question);
    EXPECT_TRUE(system.m_starts.empty());
}

TEST_F(RunTest, YesStartsRunFileFromTheInstallationFolderBeforeTheLogIsClosed) {
    manifest.files[1].exeparms = "-go";
    ui.m_answers = {true};
    EXPECT_EQ(Install(), RunOutcome::Completed);
    ASSERT_EQ(system.m_starts.size(), 1u);
    EXPECT_EQ(system.m_starts[0].file, "APP.EXE");
    EXPECT_EQ(system.m_starts[0].parameters, "-go");
    EXPECT_EQ(system.m_starts[0].workingDirectory, "C:\\App");
    const auto& calls = system.m_calls;
    const auto start = std::find(calls.begin(), calls.end(), "ShellOpen APP.EXE");
    const auto close = std::find(calls.begin(), calls.end(), std::string("Close ") + kDataFile);
    EXPECT_LT(start, close);
}

TEST_F(RunTest, FolderWithForbiddenCharacterIsRefusedAndTheDialogStaysUsable) {
    ui.m_folderText = "C:\\App?";
    EXPECT_EQ(Install(), RunOutcome::FolderRefused);
    EXPECT_EQ(result.failure, Failure{FailureKind::FolderRefused});
    EXPECT_FALSE(ui.m_controlsDisabled);
    EXPECT_EQ(system.CountCalls("MakeDirectory"), 0);
    // Corrected, a second press starts a fresh run.
    ui.m_folderText = "C:\\App";
    EXPECT_EQ(Install(), RunOutcome::Completed);
}

TEST_F(RunTest, FolderThatCannotBeCreatedEndsTheDialogWithOne) {
    ui.m_folderText = "Q:\\App";
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::FolderNotCreated, "Q:\\App"}));
    EXPECT_FALSE(system.m_profiles.count(system.Key("C:\\WINDOWS\\app.ini")));
}

TEST_F(RunTest, FolderTextLongerThanTheFolderBufferIsRefused) {
    ui.m_folderText = "C:\\" + std::string(257, 'a');  // 260 characters
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(system.CountCalls("MakeDirectory"), 0);
    // A folder that fits, but whose data file path (the longest the run makes in it) would not, is
    // refused before anything is written, not after the first targets were created.
    for (const std::size_t length : {std::size_t{244}, std::size_t{243}}) {
        RunFixture fresh;
        fresh.AddStandardRecords();
        fresh.ui.m_folderText = "C:\\" + std::string(length - 3, 'a');
        EXPECT_EQ(fresh.Install(), length == 244 ? RunOutcome::Failed : RunOutcome::Completed) << length;
        EXPECT_EQ(fresh.system.CountCalls("MakeDirectory"), length == 244 ? 0 : 1) << length;
    }
}

// A drive root, or any folder that ends in a separator, gives paths with one separator everywhere.
TEST_F(RunTest, DriveRootGivesPathsWithOneSeparator) {
    ui.m_folderText = "C:\\";
    ui.m_answers = {false};
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(system.m_registry[kKeyPath]["DisplayIcon"], "C:\\APP.EXE");
    EXPECT_TRUE(system.IsFile("C:\\Kvuninstall.dat"));
    const auto link = system.m_links.find(system.Key(system.m_desktop + "\\My App.lnk"));
    ASSERT_NE(link, system.m_links.end());
    EXPECT_EQ(link->second.target, "C:\\APP.EXE");
    EXPECT_EQ(link->second.workingDirectory, "C:\\");
    for (const std::string& call : system.m_calls) EXPECT_EQ(call.find("\\\\"), std::string::npos) << call;
}

TEST_F(RunTest, ExistingFolderWithTrailingBackslashIsAcceptedAndLoggedInOneSpelling) {
    system.AddDirectory("C:\\App");
    ui.m_folderText = "C:\\App\\";
    ui.m_answers = {false};
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_TRUE(system.IsFile("C:\\App\\Kvuninstall.dat"));
    EXPECT_EQ(system.m_registry[kKeyPath]["UninstallString"],
              "C:\\WINDOWS\\Kvuninstall.exe \"C:\\App\\|My Product 1.0\"");
    EXPECT_EQ(DataFileRecords(),
              (std::vector<std::string>{"product \"My Product 1.0\"", "file \"C:\\App\\APP.EXE\"",
                                        "shortcut desktop \"My App\"", "file \"C:\\App\\setup.exe\""}));
}

// "C:Apps", what the drive rule makes of a relative default folder, and a bare "C:" name the
// current directory of drive C:, which the run then leaves.
TEST_F(RunTest, DriveRelativeFolderIsMadeAbsoluteOnceForEveryPath) {
    for (const char* text : {"C:Apps", "C:"}) {
        RunFixture fresh;
        fresh.AddStandardRecords();
        fresh.AddRecord("help.txt", "doc", "help");
        fresh.system.AddDirectory("C:\\Downloads");
        fresh.system.ChangeDirectory("C:\\Downloads");
        fresh.system.AddFile("C:\\APP.EXE", Bytes("the user's own file at the root"));
        fresh.ui.m_folderText = text;
        fresh.ui.m_answers = {false};
        EXPECT_EQ(fresh.Install(), RunOutcome::Completed) << text;
        const std::string folder = std::string(text) == "C:" ? "C:\\Downloads" : "C:\\Downloads\\Apps";
        EXPECT_EQ(fresh.system.FileBytes(folder + "\\doc\\help.txt"), Bytes("help")) << text;
        EXPECT_EQ(fresh.system.FileBytes("C:\\APP.EXE"), Bytes("the user's own file at the root")) << text;
        const auto bytes = fresh.system.FileBytes(folder + "\\Kvuninstall.dat");
        ASSERT_TRUE(bytes) << text;
        std::vector<std::string> files;
        for (const auto& record : uninstall::DecodeRecords(*bytes).records)
            if (record.kind == uninstall::kKindFile) files.push_back(record.text);
        EXPECT_EQ(files,
                  (std::vector<std::string>{folder + "\\APP.EXE", folder + "\\doc\\help.txt", folder + "\\setup.exe"}));
        EXPECT_TRUE(fresh.system.IsFile(folder + "\\setup.exe"));
        EXPECT_EQ(fresh.system.m_registry[kKeyPath]["UninstallString"],
                  "C:\\WINDOWS\\Kvuninstall.exe \"" + folder + "|My Product 1.0\"");
    }
    // A folder Windows cannot resolve is refused before anything is created.
    system.FailOn("FullPathName");
    ui.m_folderText = "C:Apps";
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(system.CountCalls("MakeDirectory"), 0);
}

TEST_F(RunTest, RelativeFolderTextIsTakenFromTheCurrentDirectoryOnce) {
    system.ChangeDirectory("C:\\Downloads");
    ui.m_folderText = "Sub\\App";
    AddRecord("LICENSE.RTF", "", "licence text");
    AddRecord("help.txt", "doc", "help");
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(ui.m_licenseShown, Bytes("licence text"));
    EXPECT_EQ(system.FileBytes("C:\\Downloads\\Sub\\App\\doc\\help.txt"), Bytes("help"));
    EXPECT_TRUE(system.IsFile("C:\\Downloads\\Sub\\App\\Kvuninstall.dat"));
    EXPECT_EQ(system.m_profiles[system.Key("C:\\WINDOWS\\app.ini")]["Main"]["Dir"], "C:\\Downloads\\Sub\\App");
    EXPECT_EQ(system.m_registry[kKeyPath]["UninstallString"],
              "C:\\WINDOWS\\Kvuninstall.exe \"C:\\Downloads\\Sub\\App|My Product 1.0\"");
}

TEST_F(RunTest, UnopenableDataFileFailsBeforeAnyFileIsPlaced) {
    system.FailOn("OpenFile", "Kvuninstall.dat");
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, Failure{FailureKind::DataFileNotOpened});
    EXPECT_TRUE(SettingWritten());
    EXPECT_FALSE(system.Exists("C:\\App\\APP.EXE"));
    EXPECT_FALSE(Registered());
}

TEST_F(RunTest, ALinkedDataFileOrRecordFolderIsRefusedNotWrittenThrough) {
    system.AddDirectory("C:\\App");
    system.AddFile("C:\\App\\Kvuninstall.dat", Bytes("someone else's"));
    system.Find("C:\\App\\Kvuninstall.dat")->link = true;
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::LinkRefused, "C:\\App\\Kvuninstall.dat"}));
    EXPECT_EQ(system.FileBytes("C:\\App\\Kvuninstall.dat"), Bytes("someone else's"));
    EXPECT_FALSE(system.Exists("C:\\App\\APP.EXE"));

    system.RemoveFile("C:\\App\\Kvuninstall.dat");
    AddRecord("help.txt", "doc", "help");
    system.AddDirectory("C:\\App\\doc");
    system.Find("C:\\App\\doc")->link = true;
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::LinkRefused, "C:\\App\\doc"}));
    EXPECT_FALSE(system.Exists("C:\\App\\doc\\help.txt"));
}

TEST_F(RunTest, FailureDuringPlacementKeepsWhatWasDoneAndRegistersNothing) {
    AddRecord("later.dll", "", "later");
    system.FailOn("LzExpand", "later.dll");
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::FileNotExpanded, "later.dll"}));
    EXPECT_EQ(system.FileBytes("C:\\App\\APP.EXE"), Bytes("application"));
    EXPECT_TRUE(system.IsFile("C:\\App\\later.dll"));  // written, left unexpanded
    EXPECT_EQ(DataFileRecords(),
              (std::vector<std::string>{"product \"My Product 1.0\"", "file \"C:\\App\\APP.EXE\"",
                                        "shortcut desktop \"My App\"", "file \"C:\\App\\later.dll\""}));
    EXPECT_EQ(system.CountCalls(std::string("SetFileTimes ") + kDataFile), 0);  // not time-stamped
    EXPECT_EQ(system.CountCalls(std::string("Close ") + kDataFile), 1);
    EXPECT_FALSE(system.Exists("C:\\App\\setup.exe"));
    EXPECT_FALSE(Registered());
}

TEST_F(RunTest, LaunchModeStartsAnInstalledProgramAndPlacesNothing) {
    manifest.files[1].folder = "bin";
    manifest.files[1].exeparms = "/s";
    EXPECT_EQ(Install(false), RunOutcome::Launched);
    ASSERT_EQ(system.m_starts.size(), 1u);
    EXPECT_EQ(system.m_starts[0].file, "C:\\App\\APP.EXE");  // the record's folder is not part of it
    EXPECT_EQ(system.m_starts[0].parameters, "/s");
    EXPECT_EQ(system.m_starts[0].workingDirectory, "C:\\App\\bin");
    EXPECT_TRUE(SettingWritten());
    EXPECT_FALSE(system.Exists(kDataFile));
    EXPECT_FALSE(system.Exists("C:\\App\\bin\\APP.EXE"));
    EXPECT_FALSE(Registered());
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_FALSE(result.failure);

    // A program the shell cannot start is no launch: an ending of its own, with the reason.
    RunFixture refused;
    refused.AddStandardRecords();
    refused.system.FailOn("ShellOpen");
    EXPECT_EQ(refused.Install(false), RunOutcome::LaunchFailed);
    ASSERT_TRUE(refused.result.failure);
    EXPECT_EQ(FailureText(*refused.result.failure, ProductTexts{}),
              "Could not start the installed program: C:\\App\\APP.EXE");
    EXPECT_FALSE(refused.system.Exists(kDataFile));
    EXPECT_EQ(refused.system.m_registry.count(kKeyPath), 0u);
}

TEST_F(RunTest, LaunchModeWithoutTheRunFileRecordInstallsWithoutTheLicence) {
    manifest.runFile = "OTHER.EXE";
    AddRecord("LICENSE.RTF", "", "licence text");
    EXPECT_EQ(Install(false), RunOutcome::Completed);
    EXPECT_TRUE(system.IsFile("C:\\App\\LICENSE.RTF"));
    EXPECT_FALSE(ui.m_licenseShown.has_value());
    // runFile was never placed: nothing to offer.
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_TRUE(system.m_starts.empty());
}

TEST_F(RunTest, LicenceIsShownFromTheFirstLicenceRecordThenDeletedAndPlacedLater) {
    AddRecord("readme.txt", "", "readme");
    AddRecord("license-2.txt", "", "first licence");
    AddRecord("LICENSE.RTF", "", "second licence");
    AddRecord("licence.rtf", "", "not a licence");
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(ui.m_licenseShown, Bytes("first licence"));
    EXPECT_FALSE(system.Exists("C:\\App\\Kvlicense.rtf"));
    EXPECT_FALSE(system.Exists("C:\\App\\Kvtmpexp.dat"));
    EXPECT_EQ(system.FileBytes("C:\\App\\license-2.txt"), Bytes("first licence"));
}

TEST_F(RunTest, DeclinedLicenceLeavesFolderAndSettingsOnly) {
    AddRecord("LICENSE.RTF", "", "licence text");
    ui.m_acceptLicense = false;
    EXPECT_EQ(Install(), RunOutcome::LicenseDeclined);
    EXPECT_FALSE(result.failure);
    EXPECT_TRUE(system.IsDirectory("C:\\App"));
    EXPECT_TRUE(SettingWritten());
    EXPECT_FALSE(system.Exists("C:\\App\\Kvlicense.rtf"));
    EXPECT_FALSE(system.Exists(kDataFile));
    EXPECT_FALSE(system.Exists("C:\\App\\APP.EXE"));
    EXPECT_FALSE(Registered());
}

TEST_F(RunTest, OptNLSkipsTheLicenceOnInstallNow) {
    AddRecord("LICENSE.RTF", "", "licence text");
    state.commandLine = "C:\\Downloads|optnl";
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_FALSE(ui.m_licenseShown.has_value());
}

struct LicenceFailure {
    const char* call;
    const char* pathPart;
    FailureKind kind;
    bool licenceFileStays;
};

class LicencePassFailure : public RunTest, public ::testing::WithParamInterface<LicenceFailure> {};

TEST_P(LicencePassFailure, EndsTheRunBeforeAnythingIsPlaced) {
    AddRecord("LICENSE.RTF", "", "licence text");
    system.FailOn(GetParam().call, GetParam().pathPart);
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{GetParam().kind, "Kvlicense.rtf"}));
    EXPECT_EQ(system.Exists("C:\\App\\Kvlicense.rtf"), GetParam().licenceFileStays);
    EXPECT_FALSE(system.Exists("C:\\App\\Kvtmpexp.dat"));
    EXPECT_FALSE(system.Exists(kDataFile));
    EXPECT_FALSE(system.Exists("C:\\App\\APP.EXE"));
    EXPECT_TRUE(SettingWritten());
}

INSTANTIATE_TEST_SUITE_P(
    Injected, LicencePassFailure,
    ::testing::Values(LicenceFailure{"OpenFile", "Kvlicense.rtf", FailureKind::LicenseNotCreated, false},
                      LicenceFailure{"Write", "Kvtmpexp.dat", FailureKind::FileNotWritten, true},
                      LicenceFailure{"Close", "Kvlicense.rtf", FailureKind::FileNotWritten, true},
                      LicenceFailure{"LzExpand", "Kvlicense.rtf", FailureKind::FileNotExpanded, true}));

TEST_F(RunTest, LicenceEntryOutsideTheInstallerIsRefused) {
    AddRecord("LICENSE.RTF", "", "licence text").offset = 1'000'000;
    EXPECT_EQ(Install(), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::FileNotWritten, "Kvlicense.rtf"}));
    EXPECT_FALSE(ui.m_licenseShown.has_value());
}

TEST_F(RunTest, OptNPAloneNeitherAsksNorStarts) {
    state.commandLine = "OptNP";
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_TRUE(system.m_starts.empty());
}

TEST_F(RunTest, OptNPWithOptREStartsWithoutAsking) {
    state.commandLine = "C:\\Downloads|OptNP OptRE OptNL";
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_TRUE(ui.m_messages.empty());
    ASSERT_EQ(system.m_starts.size(), 1u);
    EXPECT_EQ(system.m_starts[0].file, "APP.EXE");
}

TEST_F(RunTest, OptREAloneStillAsks) {
    state.commandLine = "optre";
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(ui.m_messages.size(), 1u);
    EXPECT_TRUE(system.m_starts.empty());
}

// Quiet mode: no window to ask, so the licence counts as accepted, nothing is asked, and every
// warning and step is a line of the log.
struct QuietRunTest : RunTest {
    os::testing::FakeRunLog log;
    RunOutcome InstallQuietly(const std::string& commandLine, const std::string& folder = "C:\\App") {
        QuietRunUi quietUi(folder, log);
        state.commandLine = commandLine;
        state.log = &log;
        result = RunInstallation(state, system, quietUi, true);
        return result.outcome;
    }
};

TEST_F(QuietRunTest, LicenceCountsAsAcceptedNothingIsAskedAndEachStepIsLogged) {
    AddRecord("LICENSE.RTF", "", "licence text");
    system.FailOn("CopyFileOver");
    EXPECT_EQ(InstallQuietly("OptQ"), RunOutcome::Completed);
    EXPECT_TRUE(system.m_starts.empty());
    EXPECT_EQ(system.FileBytes("C:\\App\\LICENSE.RTF"), Bytes("licence text"));
    for (const char* line :
         {"Installation folder: C:\\App", "Setting C:\\WINDOWS\\app.ini [Main] Dir: written \"C:\\App\"",
          "Licence agreement accepted: quiet mode", "Placed C:\\WINDOWS\\Kvuninstall.exe", "Placed C:\\App\\APP.EXE",
          "Desktop shortcut: My App", "Placed C:\\App\\LICENSE.RTF", "Uninstall data file: C:\\App\\Kvuninstall.dat",
          "Registered for uninstalling: HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
          "Uninstall\\My Product 1.0"})
        EXPECT_TRUE(log.Has(line)) << line;
    EXPECT_TRUE(
        log.Has("Warning (Korvalin Automatic Installer): Warning: Copying C:\\Downloads\\INSTALL.EXE to "
                "C:\\App\\setup.exe failed with error=32.\nThis is not a fatal error - installation will "
                "continue."));

    // A second run keeps the value and the current uninstaller, and says so; OptRE starts the program.
    log.m_lines.clear();
    system.AddFile("C:\\WINDOWS\\Kvuninstall.exe", Bytes("current"), kArchiveDate + 1);
    EXPECT_EQ(InstallQuietly("optq OptRE"), RunOutcome::Completed);
    EXPECT_TRUE(log.Has("Setting C:\\WINDOWS\\app.ini [Main] Dir: kept \"C:\\App\""));
    EXPECT_TRUE(log.Has("Skipped C:\\WINDOWS\\Kvuninstall.exe: the copy there is as new as the archive"));
    EXPECT_TRUE(log.Has("Started APP.EXE"));
    EXPECT_EQ(system.m_starts.size(), 1u);
}

TEST_F(QuietRunTest, FolderThatCannotBeCreatedFailsWithItsMessage) {
    EXPECT_EQ(InstallQuietly("OptQ", "Q:\\App"), RunOutcome::Failed);
    EXPECT_EQ(result.failure, (Failure{FailureKind::FolderNotCreated, "Q:\\App"}));
    EXPECT_TRUE(log.m_lines.empty());  // the closing message is the caller's to log, with the exit code
}

TEST_F(RunTest, EverythingSkippedMeansNoQuestion) {
    manifest.files.resize(1);
    system.AddFile("C:\\WINDOWS\\Kvuninstall.exe", Bytes("current"), kArchiveDate + 1);
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_TRUE(ui.m_messages.empty());
    EXPECT_TRUE(system.m_starts.empty());
}

TEST_F(RunTest, RunningFromTheInstallationFolderCopiesNothingButLogsAndStamps) {
    state.startupDirectory = "C:\\Downloads";
    state.archivePath = "c:\\app\\SETUP.EXE";
    system.AddFile("C:\\App\\setup.exe", Bytes("me"), 5);
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(system.CountCalls("CopyFileOver"), 0);
    EXPECT_EQ(system.Find("C:\\App\\setup.exe")->created, kArchiveDate);
    EXPECT_EQ(DataFileRecords().back(), "file \"C:\\App\\setup.exe\"");
}

TEST_F(RunTest, FailedSelfCopyWarnsAndCompletes) {
    system.FailOn("CopyFileOver");
    EXPECT_EQ(Install(), RunOutcome::Completed);
    ASSERT_EQ(ui.m_messages.size(), 2u);
    EXPECT_EQ(ui.m_messages[0].text,
              "Warning: Copying C:\\Downloads\\INSTALL.EXE to C:\\App\\setup.exe failed with error=32.\nThis is not a "
              "fatal error - installation will continue.");
    EXPECT_EQ(ui.m_messages[0].caption, "Korvalin Automatic Installer");
    EXPECT_FALSE(ui.m_messages[0].question);
    EXPECT_TRUE(Registered());
    // The copy that failed is not this installer's file: it is not logged for the uninstaller.
    EXPECT_EQ(DataFileRecords().back(), "shortcut desktop \"My App\"");
}

TEST_F(RunTest, UseCurrentFolderLeavesTheInstallerWhereItIs) {
    state.useCurrentFolder = true;
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_FALSE(system.Exists("C:\\App\\setup.exe"));
    EXPECT_EQ(DataFileRecords().back(), "shortcut desktop \"My App\"");
}

TEST_F(RunTest, SecondRunIntoTheSameFolderAppendsNothingNew) {
    EXPECT_EQ(Install(), RunOutcome::Completed);
    const auto first = system.FileBytes(kDataFile);
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(system.FileBytes(kDataFile), first);
}

TEST_F(RunTest, TimeStampAndProfileFailuresAreNotReported) {
    system.FailOn("SetFileTimes.Open", "Kvuninstall.dat");
    system.FailOn("WriteProfileValue");
    EXPECT_EQ(Install(), RunOutcome::Completed);
    EXPECT_EQ(ui.m_messages.size(), 1u);  // the completion question only
    EXPECT_TRUE(Registered());
}

// A product the user cannot remove is installed all the same, but the run says so in one warning
// and ends with an outcome of its own.
TEST_F(RunTest, ARefusedRegistrationOrAnIncompleteDataFileWarnsOnceAndCompletes) {
    const std::string ending = "This is not a fatal error - installation is complete, but it cannot be uninstalled.";
    struct Failure {
        const char* call;
        const char* part;
        std::string warning;
    };
    for (const Failure& failure :
         {Failure{"CreateMachineKey", "",
                  "Warning: Registering My Product 1.0 for uninstalling failed: the key HKLM\\" +
                      std::string(kKeyPath) + " could not be created.\n"},
          Failure{
              "SetString", "InstallLocation",
              "Warning: Registering My Product 1.0 for uninstalling failed: the value InstallLocation was refused.\n"},
          Failure{"Write", "Kvuninstall.dat",
                  "Warning: The uninstall data file C:\\App\\Kvuninstall.dat could not be written completely.\n"},
          Failure{"Close", "Kvuninstall.dat",
                  "Warning: The uninstall data file C:\\App\\Kvuninstall.dat could not be written completely.\n"}}) {
        RunFixture run;
        run.AddStandardRecords();
        run.system.FailOn(failure.call, failure.part, 1);
        EXPECT_EQ(run.Install(), RunOutcome::CompletedNotUninstallable) << failure.call;
        EXPECT_FALSE(run.result.failure);
        ASSERT_EQ(run.ui.m_messages.size(), 2u) << failure.call;
        EXPECT_EQ(run.ui.m_messages[1].text, failure.warning + ending);
        EXPECT_EQ(run.ui.m_messages[1].caption, "Korvalin Automatic Installer");
        EXPECT_FALSE(run.ui.m_messages[1].question);
        EXPECT_TRUE(run.system.Exists("C:\\App\\APP.EXE"));
        // A record that did not reach the file whole is cut off again and nothing is appended
        // behind it: the file holds whole records only, for every reader.
        const uninstall::DecodedLog written = uninstall::DecodeRecords(*run.system.FileBytes(kDataFile));
        EXPECT_FALSE(written.truncated) << failure.call;
        EXPECT_FALSE(uninstall::FirstDamage(written.records)) << failure.call;
    }
    // Both at once: one warning that names both.
    system.FailOn("Write", "Kvuninstall.dat", 1);
    manifest.displayName = std::string(208, 'n');
    EXPECT_EQ(Install(), RunOutcome::CompletedNotUninstallable);
    ASSERT_EQ(ui.m_messages.size(), 2u);
    EXPECT_EQ(ui.m_messages[1].text,
              "Warning: The uninstall data file C:\\App\\Kvuninstall.dat could not be written completely.\n"
              "Warning: Registering " +
                  manifest.displayName + " for uninstalling failed: the key HKLM\\" +
                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + manifest.displayName +
                  " is longer than 259 characters.\n" + ending);
}

// Each kind of failure is told in the installer's own words, with the values it concerns.
TEST(FailureText, EachKindHasItsText) {
    const struct {
        Failure failure;
        const char* text;
    } cases[] = {
        {{FailureKind::ArchiveMissing, "SETUP.exe"},
         "Could not open the archive: SETUP.exe\n\n1) Make sure SETUP.exe has been saved to a folder on your hard "
         "drive\nother than your Desktop.\nFor example \"C:\\My Documents\".\n\n2) Restart your computer.\n\n3) Run "
         "the SETUP.exe program from the folder where you saved it.\n\nIf you continue to have problems, please "
         "contact technical support\nat " KV_SUPPORT_ADDRESS "."},
        {{FailureKind::ArchiveCorrupt}, "File is corrupt.  Redownload the file and try again."},
        {{FailureKind::ManifestNoMemory}, "Memory Error - Cannot allocate enough memory to load manifest."},
        {{FailureKind::FolderRefused},
         "The installation folder you entered has invalid characters.\nRe-enter the folder name without using any "
         "of the following characters:\n/ : * ? \" < > |"},
        {{FailureKind::FolderNotCreated, "Q:\\App"}, "Failed to create installation folder: \"Q:\\App\""},
        {{FailureKind::DataFileNotOpened},
         "Error opening Uninstall data file.\nMake sure you are not already installing this application, then run "
         "the install again."},
        {{FailureKind::LicenseNoMemory}, "Memory Error - Cannot allocate enough memory to load license file."},
        {{FailureKind::LicenseNotCreated, "Kvlicense.rtf"},
         "Failed to open/create file: Kvlicense.rtf\nMake sure all Velmoric files are closed and try again.\n\nNote: "
         "you may have to reboot your computer to close files that Windows has open."},
        {{FailureKind::FileNoMemory, "big.dat", {"data", "-x", "42"}},
         "Memory Error - Cannot allocate enough memory to load file:big.dat.\nfolder:data  exeparms:-x\nlength=42"},
        {{FailureKind::FileNotCreated, "APP.EXE", {"My Product"}},
         "Failed to open/create file: APP.EXE\nMake sure all My Product files are closed and try again."},
        {{FailureKind::FileNotWritten, "APP.EXE"}, "Failed to write file: APP.EXE"},
        {{FailureKind::FileNotExpanded, "APP.EXE"}, "Failed to expand file: APP.EXE"},
        {{FailureKind::FileNotStamped, "APP.EXE"}, "Failed to set archive date: APP.EXE"},
    };
    os::testing::FakeSystem plain;
    for (const auto& c : cases) EXPECT_EQ(FailureText(c.failure, LoadProductTexts(plain)), c.text);

    // A program that carries the product's own vendor word and support address names those instead.
    os::testing::FakeSystem branded;
    branded.m_ownTexts = {{KV_TEXT_VENDOR_WORD, "Wine Project"}, {KV_TEXT_SUPPORT, "help@wine.example"}};
    const ProductTexts texts = LoadProductTexts(branded);
    EXPECT_EQ(FailureText(cases[7].failure, texts),
              "Failed to open/create file: Kvlicense.rtf\nMake sure all Wine Project files are closed and try "
              "again.\n\nNote: you may have to reboot your computer to close files that Windows has open.");
    EXPECT_TRUE(FailureText(cases[0].failure, texts).ends_with("technical support\nat help@wine.example."));
}

}  // namespace
}  // namespace kv::install

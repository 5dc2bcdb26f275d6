// How the installer splits its process command line and names its own file.
#include <gtest/gtest.h>

#include "startup/command_line.h"
#include "startup/exit_codes.h"
#include "archive/options.h"

namespace kv::startup {
namespace {

// A script tells a run's ending by the exit code alone, so no two endings may share one, and none may
// fall through to the code of an unexpected error.
TEST(RunExitCode, EachEndingOfARunHasItsOwnCode) {
    using install::RunOutcome;
    EXPECT_EQ(RunExitCode(RunOutcome::Completed), kExitInstalled);
    EXPECT_EQ(RunExitCode(RunOutcome::Launched), kExitInstalled);
    EXPECT_EQ(RunExitCode(RunOutcome::CompletedNotUninstallable), kExitNotUninstallable);
    EXPECT_EQ(RunExitCode(RunOutcome::Failed), kExitInstallFailed);
    EXPECT_EQ(RunExitCode(RunOutcome::LicenseDeclined), kExitLicenseDeclined);
    EXPECT_EQ(RunExitCode(RunOutcome::FolderRefused), kExitFolderRefused);
}

TEST(ExecutableNameFromPath, FolderAndExtensionGo) {
    EXPECT_EQ(ExecutableNameFromPath("C:\\Downloads\\SETUP.EXE"), "SETUP");
    EXPECT_EQ(ExecutableNameFromPath("C:\\my.folder\\Setup"), "Setup");
    EXPECT_EQ(ExecutableNameFromPath("Z:/tmp/app.v2.exe"), "app.v2");
    EXPECT_EQ(ExecutableNameFromPath("SETUP.BIN"), "SETUP");
    EXPECT_EQ(ExecutableNameFromPath(""), "");
}

TEST(WorkingDirectoryPart, TextBeforeTheFirstBar) {
    EXPECT_EQ(WorkingDirectoryPart("C:\\Downloads|OptNP OptRE"), "C:\\Downloads");
    EXPECT_EQ(WorkingDirectoryPart("|OptNP"), "");
    EXPECT_EQ(WorkingDirectoryPart("OptNP"), "OptNP");              // no bar: the whole text is tried
    EXPECT_EQ(WorkingDirectoryPart("\"C:\\A B\"|x|y"), "C:\\A B");  // quotes only wrap the folder
    EXPECT_EQ(WorkingDirectoryPart("\"C:\\A B|OptQ\""), "C:\\A B");
}

// The options are tested against the whole command line, folder part included.
TEST(InstallerCommandLine, FolderPartCarriesOptions) {
    const std::string line(archive::ArgumentsAfterProgramName("\"SETUP.EXE\"   C:\\OptUCD|x"));
    EXPECT_TRUE(archive::OptionPresent("OptUCD", line.c_str()));
    EXPECT_FALSE(archive::OptionPresent("OptNP", line.c_str()));
}

// The log path leaves the text that options and the working directory are taken from.
TEST(SplitLogOption, PathIsTakenOutOfTheOptionText) {
    LogOption split = SplitLogOption("C:\\Dl|OptQ OptLOG=\"C:\\OptNP dir\\a.log\" OptNL");
    EXPECT_EQ(split.path, "C:\\OptNP dir\\a.log");
    EXPECT_EQ(split.commandLine, "C:\\Dl|OptQ  OptNL");
    EXPECT_FALSE(archive::OptionPresent("OptNP", split.commandLine.c_str()));

    split = SplitLogOption("C:\\Dl|optlog=C:\\OptUCD\\a.log OptQ");
    EXPECT_EQ(split.path, "C:\\OptUCD\\a.log");
    EXPECT_EQ(WorkingDirectoryPart(split.commandLine), "C:\\Dl");
    EXPECT_FALSE(archive::OptionPresent("OptUCD", split.commandLine.c_str()));

    split = SplitLogOption("OptQ OptLOG=");
    EXPECT_EQ(split.path, "");
    EXPECT_EQ(split.commandLine, "OptQ ");
    EXPECT_EQ(SplitLogOption("OptQ").commandLine, "OptQ");

    // The whole option text quoted as one word by a deployment tool.
    split = SplitLogOption("\"C:\\Dl|OptQ OptLOG=C:\\logs\\x.log\"");
    EXPECT_EQ(split.path, "C:\\logs\\x.log");
    EXPECT_EQ(WorkingDirectoryPart(split.commandLine), "C:\\Dl");
    EXPECT_TRUE(archive::OptionPresent("OptQ", split.commandLine.c_str()));
}

// The installation folder is split off like the log path, after it; an empty value still counts as given.
TEST(SplitFolderOption, FolderIsTakenOutAfterTheLogPath) {
    const LogOption log = SplitLogOption("OptLOG=\"C:\\L g\\a.log\" optdir=\"C:\\OptNP Apps\\My App\" OptQ");
    FolderOption split = SplitFolderOption(log.commandLine);
    EXPECT_EQ(split.folder, "C:\\OptNP Apps\\My App");
    EXPECT_EQ(split.commandLine, "  OptQ");
    EXPECT_FALSE(archive::OptionPresent("OptNP", split.commandLine.c_str()));

    EXPECT_EQ(SplitFolderOption("C:\\Dl|OptDIR=D:Apps OptNP").folder, "D:Apps");
    EXPECT_EQ(SplitFolderOption("OptQ OptDIR=").folder, "");
    EXPECT_EQ(SplitFolderOption("OptQ").folder, std::nullopt);
}

}  // namespace
}  // namespace kv::startup

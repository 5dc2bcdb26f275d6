// The drive-letter rule for the default installation folder.
#include <gtest/gtest.h>

#include <string>

#include "startup/install_folder.h"

namespace kv::startup {
namespace {

ResolvedFolder Resolve(const std::string& folder, const std::string& windows = "D:\\WINDOWS", bool useCurrent = false) {
    const auto resolved = ResolveInstallFolder(folder, windows, "E:\\Current", useCurrent);
    EXPECT_TRUE(resolved.has_value());
    return resolved.value_or(ResolvedFolder{});
}

TEST(ResolveInstallFolder, MovesOntoTheWindowsDrive) {
    EXPECT_EQ(Resolve("C:\\Program Files\\App").folder, "D:\\Program Files\\App");
    EXPECT_EQ(Resolve("\\Apps\\Tool").folder, "D:\\Apps\\Tool");
    EXPECT_EQ(Resolve("Apps").folder, "D:Apps");
    EXPECT_FALSE(Resolve("Apps").useCurrentFolder);
}

TEST(ResolveInstallFolder, EmptyFolderBecomesTheDriveAlone) {
    const ResolvedFolder resolved = Resolve("");
    EXPECT_EQ(resolved.folder, "D:");
    EXPECT_FALSE(resolved.useCurrentFolder);
}

TEST(ResolveInstallFolder, NoDriveLetterInTheWindowsDirectory) {
    EXPECT_EQ(Resolve("C:\\Program Files\\App", "\\\\server\\windows").folder, "C:\\Program Files\\App");
    const ResolvedFolder empty = Resolve("", "\\\\server\\windows");
    EXPECT_EQ(empty.folder, "E:\\Current");
    EXPECT_TRUE(empty.useCurrentFolder);
    EXPECT_EQ(Resolve("X", "W").folder, "X");  // a one-character directory has no drive colon
}

TEST(ResolveInstallFolder, UseCurrentFolderWins) {
    const ResolvedFolder resolved = Resolve("C:\\Program Files\\App", "D:\\WINDOWS", true);
    EXPECT_EQ(resolved.folder, "E:\\Current");
    EXPECT_TRUE(resolved.useCurrentFolder);
}

TEST(ResolveInstallFolder, RefusesWhatTheBufferCannotHold) {
    const std::string longest(259, 'a');
    EXPECT_TRUE(ResolveInstallFolder("C:" + longest.substr(2), "D:\\WINDOWS", "E:\\", false).has_value());
    // Two characters of drive prefix push a 258-character folder to 260.
    EXPECT_FALSE(ResolveInstallFolder(std::string(258, 'a'), "D:\\WINDOWS", "E:\\", false).has_value());
    EXPECT_TRUE(ResolveInstallFolder(std::string(257, 'a'), "D:\\WINDOWS", "E:\\", false).has_value());
}

}  // namespace
}  // namespace kv::startup

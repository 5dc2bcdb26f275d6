// The segment walk that creates the installation folder, including the cases where the folder
// already exists in a form that cannot be created in one step.
#include <gtest/gtest.h>

#include "fake_system.h"
#include "install/installation_run.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

struct CreateFolderPathTest : ::testing::Test {
    testing::FakeSystem system;
    std::vector<std::string> Created() const {
        std::vector<std::string> created;
        for (const auto& call : system.m_calls)
            if (call.rfind("MakeDirectory ", 0) == 0) created.push_back(call.substr(14));
        return created;
    }
};

TEST_F(CreateFolderPathTest, CreatesEveryMissingComponentInOrder) {
    EXPECT_TRUE(CreateFolderPath(system, "C:\\A\\B\\C"));
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B\\C"));
    // The whole path first, then the walk: C: exists, C:\A, C:\A\B, C:\A\B\C are created.
    EXPECT_EQ(Created(), (std::vector<std::string>{"C:\\A\\B\\C", "C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}));
}

TEST_F(CreateFolderPathTest, ForwardSlashesSeparateSegmentsToo) {
    EXPECT_TRUE(CreateFolderPath(system, "C:/A/B"));
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, ExistingFolderIsAcceptedInEveryForm) {
    system.AddDirectory("C:\\Program Files\\App");
    EXPECT_TRUE(CreateFolderPath(system, "C:\\Program Files\\App"));
    EXPECT_TRUE(CreateFolderPath(system, "C:\\Program Files\\App\\"));
    EXPECT_TRUE(CreateFolderPath(system, "C:\\"));
    EXPECT_TRUE(CreateFolderPath(system, "C:"));
    EXPECT_EQ(Created().size(), 4u);  // only the one-step attempts
}

// \\server\share is a root that cannot be made: an existing folder on a share is accepted, and the
// levels below the share are made as on a drive.
TEST_F(CreateFolderPathTest, NetworkFoldersStartBehindTheShare) {
    system.AddDirectory("\\\\server\\share\\App");
    EXPECT_TRUE(CreateFolderPath(system, "\\\\server\\share\\App"));
    EXPECT_TRUE(CreateFolderPath(system, "\\\\server\\share\\App\\New\\Sub"));
    EXPECT_TRUE(system.IsDirectory("\\\\server\\share\\App\\New\\Sub"));
}

TEST_F(CreateFolderPathTest, TrailingBackslashOnAMissingNestedFolderCreatesIt) {
    EXPECT_TRUE(CreateFolderPath(system, "C:\\A\\B\\"));
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, RefusesWhatCannotBeMadeAFolder) {
    EXPECT_FALSE(CreateFolderPath(system, ""));
    EXPECT_FALSE(CreateFolderPath(system, "Q:\\App"));                 // no such drive
    EXPECT_FALSE(CreateFolderPath(system, "C:\\X\\\\Y"));              // two separators in a row
    EXPECT_FALSE(CreateFolderPath(system, "\\\\server\\share\\App"));  // begins with two separators
    EXPECT_FALSE(system.Exists("C:\\X\\Y"));
    system.AddFile("C:\\File", {1});
    EXPECT_FALSE(CreateFolderPath(system, "C:\\File\\Sub"));  // a file stands in the way
    EXPECT_FALSE(CreateFolderPath(system, "C:\\File"));       // a file is not a folder
}

TEST_F(CreateFolderPathTest, TwoSeparatorsInsideAnExistingPathStillFail) {
    system.AddDirectory("C:\\X\\Y");
    EXPECT_FALSE(CreateFolderPath(system, "C:\\X\\\\Y"));
}

TEST_F(CreateFolderPathTest, StopsAtAComponentThatCannotBeCreated) {
    system.FailOn("MakeDirectory", "C:\\A\\B");
    EXPECT_FALSE(CreateFolderPath(system, "C:\\A\\B\\C"));
    EXPECT_TRUE(system.IsDirectory("C:\\A"));  // what was created so far stays
    EXPECT_FALSE(system.Exists("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, RelativeSingleLetterFirstSegmentIsCreatedInTheCurrentDirectory) {
    system.ChangeDirectory("C:\\WINDOWS");
    EXPECT_TRUE(CreateFolderPath(system, "X\\Y"));
    EXPECT_TRUE(system.IsDirectory("C:\\WINDOWS\\X\\Y"));
}

TEST(FolderCheck, RefusesTheSevenForbiddenCharacters) {
    EXPECT_FALSE(HasForbiddenFolderCharacter("C:\\Program Files\\App"));
    for (const char* bad : {"C:/App", "C:\\App?", "C:\\A*", "C:\\\"A\"", "C:\\<A", "C:\\A>", "C:\\A|B"})
        EXPECT_TRUE(HasForbiddenFolderCharacter(bad)) << bad;
}

}  // namespace
}  // namespace kv::install

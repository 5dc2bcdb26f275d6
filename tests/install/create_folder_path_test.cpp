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
    EXPECT_EQ(CreateFolderPath(system, "C:\\A\\B\\C"), 1);
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B\\C"));
    // The whole path first, then the walk: C: exists, C:\A, C:\A\B, C:\A\B\C are created.
    EXPECT_EQ(Created(), (std::vector<std::string>{"C:\\A\\B\\C", "C:\\A", "C:\\A\\B", "C:\\A\\B\\C"}));
}

TEST_F(CreateFolderPathTest, ForwardSlashesSeparateSegmentsToo) {
    EXPECT_EQ(CreateFolderPath(system, "C:/A/B"), 1);
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, ExistingFolderIsAcceptedInEveryForm) {
    system.AddDirectory("C:\\Program Files\\App");
    EXPECT_EQ(CreateFolderPath(system, "C:\\Program Files\\App"), 1);
    EXPECT_EQ(CreateFolderPath(system, "C:\\Program Files\\App\\"), 1);
    EXPECT_EQ(CreateFolderPath(system, "C:\\"), 1);
    EXPECT_EQ(CreateFolderPath(system, "C:"), 1);
    EXPECT_EQ(Created().size(), 4u);  // only the one-step attempts
}

TEST_F(CreateFolderPathTest, TrailingBackslashOnAMissingNestedFolderCreatesIt) {
    EXPECT_EQ(CreateFolderPath(system, "C:\\A\\B\\"), 1);
    EXPECT_TRUE(system.IsDirectory("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, RefusesWhatCannotBeMadeAFolder) {
    EXPECT_EQ(CreateFolderPath(system, nullptr), 0);
    EXPECT_EQ(CreateFolderPath(system, ""), 0);
    EXPECT_EQ(CreateFolderPath(system, "Q:\\App"), 0);               // no such drive
    EXPECT_EQ(CreateFolderPath(system, "C:\\X\\\\Y"), 0);            // two separators in a row
    EXPECT_EQ(CreateFolderPath(system, "\\\\server\\share\\App"), 0);  // begins with two separators
    EXPECT_FALSE(system.Exists("C:\\X\\Y"));
    system.AddFile("C:\\File", {1});
    EXPECT_EQ(CreateFolderPath(system, "C:\\File\\Sub"), 0);  // a file stands in the way
    EXPECT_EQ(CreateFolderPath(system, "C:\\File"), 0);       // a file is not a folder
}

TEST_F(CreateFolderPathTest, TwoSeparatorsInsideAnExistingPathStillFail) {
    system.AddDirectory("C:\\X\\Y");
    EXPECT_EQ(CreateFolderPath(system, "C:\\X\\\\Y"), 0);
}

TEST_F(CreateFolderPathTest, StopsAtAComponentThatCannotBeCreated) {
    system.FailOn("MakeDirectory", "C:\\A\\B");
    EXPECT_EQ(CreateFolderPath(system, "C:\\A\\B\\C"), 0);
    EXPECT_TRUE(system.IsDirectory("C:\\A"));  // what was created so far stays
    EXPECT_FALSE(system.Exists("C:\\A\\B"));
}

TEST_F(CreateFolderPathTest, RelativeSingleLetterFirstSegmentIsCreatedInTheCurrentDirectory) {
    system.ChangeDirectory("C:\\WINDOWS");
    EXPECT_EQ(CreateFolderPath(system, "X\\Y"), 1);
    EXPECT_TRUE(system.IsDirectory("C:\\WINDOWS\\X\\Y"));
}

TEST(FolderCheck, RefusesTheSevenForbiddenCharacters) {
    EXPECT_FALSE(HasForbiddenFolderCharacter("C:\\Program Files\\App"));
    for (const char* bad : {"C:/App", "C:\\App?", "C:\\A*", "C:\\\"A\"", "C:\\<A", "C:\\A>", "C:\\A|B"})
        EXPECT_TRUE(HasForbiddenFolderCharacter(bad)) << bad;
}

}  // namespace
}  // namespace kv::install

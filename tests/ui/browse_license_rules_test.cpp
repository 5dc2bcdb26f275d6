// The folder browser's preselection form and the licence text's rectangle.
#include "ui/browse_license_rules.h"

#include <gtest/gtest.h>

namespace kv::ui {
namespace {

TEST(FolderForPreselection, DropsOneTrailingBackslashOnly) {
    EXPECT_EQ(FolderForPreselection("C:\\Tools\\"), "C:\\Tools");
    EXPECT_EQ(FolderForPreselection("C:\\Program Files\\"), "C:\\Program Files");
    EXPECT_EQ(FolderForPreselection("C:\\"), "C:");
    EXPECT_EQ(FolderForPreselection("\\"), "");
    // Only the last character is looked at: a doubled backslash keeps one, a slash is not a backslash.
    EXPECT_EQ(FolderForPreselection("C:\\Tools\\\\"), "C:\\Tools\\");
    EXPECT_EQ(FolderForPreselection("C:/Tools/"), "C:/Tools/");
    EXPECT_EQ(FolderForPreselection("C:\\Tools"), "C:\\Tools");
    EXPECT_EQ(FolderForPreselection(""), "");
}

TEST(LicenseTextRect, StartsInsideTheFrameAndIsNotMappedFromThePlaceholder) {
    // 321 x 174 dialog units of MS Sans Serif 8 pt are 482 x 283 pixels at 96 dpi.
    const TextRect r = LicenseTextRect(482, 283);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.right, 484);
    EXPECT_EQ(r.bottom, 285);
    const TextRect empty = LicenseTextRect(0, 0);
    EXPECT_EQ(empty.right - empty.left, -3);  // a placeholder narrower than 3 pixels gives no text area
    EXPECT_EQ(empty.bottom - empty.top, 0);
}

}  // namespace
}  // namespace kv::ui

// The folder browser's preselection form and the licence text's rectangle.
#include "ui/browse_license_rules.h"

#include <gtest/gtest.h>

#include <array>

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
    // At 144 and 192 DPI the margins grow with the dialog: 5 and 2 pixels become 8 and 3, then 10 and 4.
    const TextRect at144 = LicenseTextRect(723, 425, 144);
    EXPECT_EQ((std::array{at144.left, at144.top, at144.right, at144.bottom}), (std::array{8, 3, 726, 428}));
    const TextRect at192 = LicenseTextRect(964, 566, 192);
    EXPECT_EQ((std::array{at192.left, at192.top, at192.right, at192.bottom}), (std::array{10, 4, 968, 570}));
}

}  // namespace
}  // namespace kv::ui

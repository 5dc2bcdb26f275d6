// Naming rules shared by the builder, the run and the uninstaller.
#include <gtest/gtest.h>

#include "archive/names.h"

namespace kv::archive {
namespace {

TEST(ShortcutName, IsTheCaptionUpToItsFirstDot) {
    EXPECT_EQ(ShortcutFileName("Notes 1.2"), "Notes 1.lnk");
    EXPECT_EQ(ShortcutFileName("My App"), "My App.lnk");
    EXPECT_EQ(ShortcutFileName(".hidden"), ".lnk");
}

}  // namespace
}  // namespace kv::archive

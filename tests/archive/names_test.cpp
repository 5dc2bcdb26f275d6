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

TEST(UninstallerRecord, IsExactlyKvuninstallExeWithAnEmptyFolder) {
    FileRecord record;
    record.file = "Kvuninstall.exe";
    EXPECT_EQ(UninstallerRecordFault(record), UninstallerFault::None);
    record.folder = "bin";
    EXPECT_EQ(UninstallerRecordFault(record), UninstallerFault::Folder);
    record.folder.clear();
    record.file = "KVUNINSTALL.EXE";  // the registration names the file with this exact spelling
    EXPECT_EQ(UninstallerRecordFault(record), UninstallerFault::Name);
}

}  // namespace
}  // namespace kv::archive

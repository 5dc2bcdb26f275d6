// `kvpack log` on hand-written Kvuninstall.dat bytes: the listing, JSON read back by python's json
// module, a cut-short last record and a missing file.
#include <gtest/gtest.h>

#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

// Product, file, Desktop shortcut, Programs-menu shortcut, byte by byte.
const std::string kSound = std::string(
                               "\x02"
                               "Demo\0",
                               6) +
                           std::string(
                               "\x00"
                               "C:\\D\\A.EXE\0",
                               12) +
                           std::string(
                               "\x01\x01"
                               "Demo\0",
                               7) +
                           std::string(
                               "\x01\x00"
                               "Grp\0"
                               "Read me.txt\0",
                               18);

TEST(KvpackLog, ListsEveryRecordAsTextAndJson) {
    ScratchDir dir;
    WriteText(dir / "Kvuninstall.dat", kSound);
    RunResult r = RunKvpack("log Kvuninstall.dat", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(": 4 records, 43 bytes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  1  product \"Demo\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  2  file \"C:\\D\\A.EXE\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  3  shortcut desktop \"Demo\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  4  shortcut programs \"Grp\" \"Read me.txt\"\n"), std::string::npos) << r.out;
    EXPECT_EQ((r.out + r.err).find("truncated"), std::string::npos);

    const std::string check =
        "import json,sys; d=json.load(sys.stdin); r=d['records']; "
        "assert d['size']==43 and not d['truncated'], d; "
        "assert [x['kind'] for x in r]==['product','file','shortcut','shortcut'], r; "
        "assert r[1]['text']=='C:\\\\D\\\\A.EXE' and r[3]['menuFolder']=='Grp' and r[3]['location']=='programs', r; "
        "assert r[2]['location']=='desktop' and 'menuFolder' in r[2] and 'location' not in r[1], r";
    r = RunShell(Quote(KVPACK_EXE) + " log --json Kvuninstall.dat | python3 -c \"" + check + "\"", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

// The verdict is the uninstaller's: a cut-short last record is noted, but the whole records before it
// are usable (exit 0); records the uninstaller refuses make the file damaged (exit 3).
TEST(KvpackLog, ReportsACutShortLastRecordADamagedFileAndAMissingFile) {
    ScratchDir dir;
    WriteText(dir / "Kvuninstall.dat", kSound.substr(0, kSound.size() - 5));
    RunResult r = RunKvpack("log Kvuninstall.dat", dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string all = r.out + r.err;
    EXPECT_NE(all.find("  4  shortcut programs \"Grp\" \"Read me\"\n"), std::string::npos) << all;
    EXPECT_NE(all.find("truncated: the file ends inside record 4"), std::string::npos) << all;
    r = RunShell(Quote(KVPACK_EXE) +
                     " log --json Kvuninstall.dat | python3 -c \"import json,sys; "
                     "d=json.load(sys.stdin); assert d['truncated'] and len(d['records'])==4\"",
                 dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;

    // A record cut short with more appended behind it: the rest is read as records of kind 'C'.
    WriteText(dir / "Kvuninstall.dat", kSound.substr(0, 9) + kSound.substr(6));
    r = RunKvpack("log Kvuninstall.dat", dir.path());
    EXPECT_EQ(r.exitCode, 3) << r.out << r.err;
    EXPECT_NE(r.out.find("damaged: record 3 has an unknown kind 67"), std::string::npos) << r.out;

    r = RunKvpack("log nothere.dat", dir.path());
    EXPECT_EQ(r.exitCode, 4) << r.err;
    EXPECT_NE((r.out + r.err).find("nothere.dat"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kv::tools::test

// `kvpack log` on hand-written Kvuninstall.dat bytes: the listing, JSON read back by python's json
// module, a cut-short last record and a missing file.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result {
    int code = -1;
    std::string out;
};

Result RunCommand(const std::string& command) {
    Result result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    const int status = pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class KvpackLog : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("kvpack-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Write(const std::string& bytes) {
        const fs::path path = m_dir / "Kvuninstall.dat";
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    fs::path m_dir;
};

// Product, file, Desktop shortcut, Programs-menu shortcut, byte by byte.
const std::string kSound = std::string("\x02" "Demo\0", 6) + std::string("\x00" "C:\\D\\A.EXE\0", 12) +
                           std::string("\x01\x01" "Demo\0", 7) + std::string("\x01\x00" "Grp\0" "Read me.txt\0", 18);

TEST_F(KvpackLog, ListsEveryRecordAsTextAndJson) {
    const std::string path = Write(kSound);
    Result r = RunCommand(std::string(KVPACK_EXE) + " log '" + path + "'");
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find(": 4 records, 43 bytes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  1  product \"Demo\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  2  file \"C:\\D\\A.EXE\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  3  shortcut desktop \"Demo\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  4  shortcut programs \"Grp\" \"Read me.txt\"\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("truncated"), std::string::npos);

    const std::string check =
        "import json,sys; d=json.load(sys.stdin); r=d['records']; "
        "assert d['size']==43 and not d['truncated'], d; "
        "assert [x['kind'] for x in r]==['product','file','shortcut','shortcut'], r; "
        "assert r[1]['text']=='C:\\\\D\\\\A.EXE' and r[3]['menuFolder']=='Grp' and r[3]['location']=='programs', r; "
        "assert r[2]['location']=='desktop' and 'menuFolder' in r[2] and 'location' not in r[1], r";
    r = RunCommand(std::string(KVPACK_EXE) + " log --json '" + path + "' | python3 -c \"" + check + "\"");
    EXPECT_EQ(r.code, 0) << r.out;
}

TEST_F(KvpackLog, ReportsACutShortLastRecordAndAMissingFile) {
    const std::string path = Write(kSound.substr(0, kSound.size() - 5));
    Result r = RunCommand(std::string(KVPACK_EXE) + " log '" + path + "'");
    EXPECT_EQ(r.code, 3) << r.out;
    EXPECT_NE(r.out.find("  4  shortcut programs \"Grp\" \"Read me\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("truncated: the file ends inside record 4"), std::string::npos) << r.out;
    r = RunCommand(std::string(KVPACK_EXE) + " log --json '" + path +
            "' | python3 -c \"import json,sys; d=json.load(sys.stdin); assert d['truncated'] and len(d['records'])==4\"");
    EXPECT_EQ(r.code, 0) << r.out;

    r = RunCommand(std::string(KVPACK_EXE) + " log '" + (m_dir / "nothere.dat").string() + "'");
    EXPECT_EQ(r.code, 4) << r.out;
    EXPECT_NE(r.out.find("nothere.dat"), std::string::npos) << r.out;
}

}  // namespace

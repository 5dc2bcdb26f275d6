// Interop with independent SZDD implementations: Debian's msexpand must expand every file we
// compress, at both levels, byte for byte; and we must expand every file Debian's mscompress writes.
#include "archive/szdd.h"
#include "tests/archive/szdd/szdd_test_set.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kv::archive::szdd {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

class SzddInterop : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kv-szdd-interop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        m_set = test::MakeTestSet(ReadFile("/proc/self/exe"));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    fs::path m_dir;
    std::vector<test::TestFile> m_set;
};

TEST_F(SzddInterop, MsexpandExpandsOurFilesExactly) {
    for (const auto& file : m_set) {
        for (Level level : {Level::Best, Level::Fast}) {
            const std::string tag = file.name + (level == Level::Best ? " (best)" : " (fast)");
            const fs::path packed = m_dir / (file.name + ".szdd");
            const fs::path expanded = m_dir / (file.name + ".out");
            WriteFile(packed, Compress(file.bytes, level));
            const std::string command = "msexpand < " + Quoted(packed) + " > " + Quoted(expanded);
            ASSERT_EQ(std::system(command.c_str()), 0) << tag;
            EXPECT_TRUE(ReadFile(expanded) == file.bytes) << tag;
        }
    }
}

TEST_F(SzddInterop, WeExpandMscompressFilesExactly) {
    // mscompress corrupts files shorter than 16 bytes, so those are left out.
    std::size_t checked = 0;
    for (const auto& file : m_set) {
        if (file.bytes.size() < 16) continue;
        const fs::path original = m_dir / file.name;
        WriteFile(original, file.bytes);
        const std::string command = "cd " + Quoted(m_dir) + " && mscompress " + Quoted(file.name) + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << file.name;
        const Bytes packed = ReadFile(m_dir / (file.name + "_"));
        ASSERT_TRUE(HasSignature(packed)) << file.name;
        const Expanded e = Expand(packed);
        EXPECT_EQ(e.status, ExpandStatus::Ok) << file.name << ": " << StatusName(e.status);
        EXPECT_TRUE(e.bytes == file.bytes) << file.name;
        ++checked;
    }
    EXPECT_GE(checked, 20u);
}

TEST_F(SzddInterop, OurBestLevelIsNoLargerThanMscompress) {
    for (const auto& file : m_set) {
        if (file.bytes.size() < 16) continue;
        WriteFile(m_dir / file.name, file.bytes);
        const std::string command = "cd " + Quoted(m_dir) + " && mscompress " + Quoted(file.name) + " >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0) << file.name;
        EXPECT_LE(Compress(file.bytes, Level::Best).size(), fs::file_size(m_dir / (file.name + "_"))) << file.name;
    }
}

}  // namespace
}  // namespace kv::archive::szdd

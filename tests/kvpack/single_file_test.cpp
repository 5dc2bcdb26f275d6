// kvpack compress / expand: interop with mscompress and msexpand, default names, damaged input.
#include <gtest/gtest.h>

#include "archive/szdd.h"
#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

bool HaveMsTools(const fs::path& dir) { return RunShell("which msexpand mscompress", dir).exitCode == 0; }

// The codec's own interop over many inputs is in the SZDD tests; here the commands' files, once each way.
TEST(KvpackSingleFile, MsexpandReadsWhatCompressWritesAndExpandReadsMscompress) {
    ScratchDir dir;
    if (!HaveMsTools(dir.path())) GTEST_SKIP() << "msexpand is not installed (Debian package mscompress)";
    const std::vector<std::uint8_t> program = SampleBytes(70000, 5);
    WriteBytes(dir / "program.exe", program);
    for (const char* flag : {"", " --fast"}) {
        const RunResult compress = RunKvpack(std::string("compress program.exe -o packed.bin") + flag, dir.path());
        ASSERT_EQ(compress.exitCode, 0) << compress.err;
        const RunResult expand = RunShell("msexpand < packed.bin > expanded.bin", dir.path());
        ASSERT_EQ(expand.exitCode, 0) << flag << ": " << expand.err;
        EXPECT_EQ(ReadBytes(dir / "expanded.bin"), program) << flag;
    }
    ASSERT_EQ(RunShell("mscompress program.exe", dir.path()).exitCode, 0);
    const RunResult expand = RunKvpack("expand program.exe_ -o back.exe", dir.path());
    ASSERT_EQ(expand.exitCode, 0) << expand.err;
    EXPECT_EQ(ReadBytes(dir / "back.exe"), program);
}

TEST(KvpackSingleFile, DefaultNamesFollowTheClassicTools) {
    ScratchDir dir;
    WriteText(dir / "readme.txt", "hello hello hello hello");
    ASSERT_EQ(RunKvpack("compress readme.txt", dir.path()).exitCode, 0);
    ASSERT_TRUE(fs::exists(dir / "readme.txt_"));
    fs::rename(dir / "readme.txt", dir / "original.txt");
    RunResult expand = RunKvpack("expand readme.txt_", dir.path());
    ASSERT_EQ(expand.exitCode, 0) << expand.err;
    EXPECT_EQ(ReadText(dir / "readme.txt"), "hello hello hello hello");

    // A name whose last letter the header keeps ("readme.tx_" with 't' at byte 9) gets it back.
    std::vector<std::uint8_t> packed = ReadBytes(dir / "readme.txt_");
    packed[archive::szdd::kNameCharOffset] = 't';
    WriteBytes(dir / "other.tx_", packed);
    expand = RunKvpack("expand other.tx_", dir.path());
    ASSERT_EQ(expand.exitCode, 0) << expand.err;
    EXPECT_EQ(ReadText(dir / "other.txt"), "hello hello hello hello");

    // No name to derive: the user must give one.
    EXPECT_EQ(RunKvpack("compress readme.txt_", dir.path()).exitCode, 1);
    EXPECT_EQ(RunKvpack("expand original.txt", dir.path()).exitCode, 3);  // not compressed at all
}

// Links planted where kvpack writes (the output's temporary name, the output itself) are never
// written through: the files they point at stay as they were.
TEST(KvpackSingleFile, WritesThroughNoPlantedLink) {
    ScratchDir dir;
    WriteText(dir / "readme.txt", "hello hello hello hello");
    WriteText(dir / "victim.txt", "not yours");
    fs::create_symlink(dir / "victim.txt", dir / "packed.bin.kvpack-tmp");
    fs::create_symlink(dir / "victim.txt", dir / "packed.bin");
    const RunResult compress = RunKvpack("compress readme.txt -o packed.bin", dir.path());
    ASSERT_EQ(compress.exitCode, 0) << compress.err;
    EXPECT_EQ(ReadText(dir / "victim.txt"), "not yours");
    EXPECT_FALSE(fs::is_symlink(dir / "packed.bin"));
    EXPECT_EQ(RunKvpack("expand packed.bin -o back.txt", dir.path()).exitCode, 0);
    EXPECT_EQ(ReadText(dir / "back.txt"), "hello hello hello hello");
}

TEST(KvpackSingleFile, ExpandRefusesDamagedData) {
    ScratchDir dir;
    std::vector<std::uint8_t> data = SampleBytes(20000, 8);
    WriteBytes(dir / "data.bin", data);
    ASSERT_EQ(RunKvpack("compress data.bin -o data.sz", dir.path()).exitCode, 0);
    std::vector<std::uint8_t> packed = ReadBytes(dir / "data.sz");
    packed.resize(packed.size() / 2);
    WriteBytes(dir / "cut.sz", packed);
    const RunResult expand = RunKvpack("expand cut.sz -o cut.bin", dir.path());
    EXPECT_EQ(expand.exitCode, 3);
    EXPECT_NE(expand.err.find("compressed data ends after"), std::string::npos) << expand.err;
    EXPECT_FALSE(fs::exists(dir / "cut.bin"));

    const RunResult missing = RunKvpack("expand nothing.sz -o x", dir.path());
    EXPECT_EQ(missing.exitCode, 4);
    EXPECT_NE(missing.err.find("input nothing.sz: cannot open"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace kv::tools::test

// kvpack compress / expand against the independent mscompress and msexpand tools.
#include <gtest/gtest.h>

#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

bool HaveMsTools(const fs::path& dir) { return RunShell("which msexpand mscompress", dir).exitCode == 0; }

struct Sample {
    const char* name;
    std::vector<std::uint8_t> bytes;
};

std::vector<Sample> Samples() {
    std::vector<std::uint8_t> spaces(5000, ' ');  // matches the ring's initial spaces
    std::vector<std::uint8_t> text;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = "line " + std::to_string(i % 37) + " of the sample text\r\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    std::vector<std::uint8_t> noise(30000);
    std::uint32_t state = 7;
    for (auto& b : noise) b = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
    return {{"empty", {}}, {"one", {'x'}}, {"spaces", spaces}, {"text", text}, {"noise", noise},
            {"program", SampleBytes(70000, 5)}};
}

TEST(KvpackSingleFile, MsexpandReadsWhatCompressWrites) {
    ScratchDir dir;
    if (!HaveMsTools(dir.path())) GTEST_SKIP() << "msexpand is not installed (Debian package mscompress)";
    for (const Sample& sample : Samples()) {
        for (const char* flag : {"", " --fast"}) {
            WriteBytes(dir / sample.name, sample.bytes);
            const RunResult compress =
                RunKvpack(std::string("compress ") + sample.name + " -o packed.bin" + flag, dir.path());
            ASSERT_EQ(compress.exitCode, 0) << compress.err;
            const RunResult expand = RunShell("msexpand < packed.bin > expanded.bin", dir.path());
            ASSERT_EQ(expand.exitCode, 0) << sample.name << flag << ": " << expand.err;
            EXPECT_EQ(ReadBytes(dir / "expanded.bin"), sample.bytes) << sample.name << flag;
        }
    }
}

TEST(KvpackSingleFile, ExpandReadsWhatMscompressWrites) {
    ScratchDir dir;
    if (!HaveMsTools(dir.path())) GTEST_SKIP() << "mscompress is not installed";
    for (const Sample& sample : Samples()) {
        if (sample.bytes.size() < 16) continue;  // mscompress mangles files that short
        WriteBytes(dir / "input.dat", sample.bytes);
        fs::remove(dir / "input.dat_");
        ASSERT_EQ(RunShell("mscompress input.dat", dir.path()).exitCode, 0);
        const RunResult expand = RunKvpack("expand input.dat_ -o back.dat", dir.path());
        ASSERT_EQ(expand.exitCode, 0) << sample.name << ": " << expand.err;
        EXPECT_EQ(ReadBytes(dir / "back.dat"), sample.bytes) << sample.name;
    }
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
    packed[9] = 't';
    WriteBytes(dir / "other.tx_", packed);
    expand = RunKvpack("expand other.tx_", dir.path());
    ASSERT_EQ(expand.exitCode, 0) << expand.err;
    EXPECT_EQ(ReadText(dir / "other.txt"), "hello hello hello hello");

    // No name to derive: the user must give one.
    EXPECT_EQ(RunKvpack("compress readme.txt_", dir.path()).exitCode, 1);
    EXPECT_EQ(RunKvpack("expand original.txt", dir.path()).exitCode, 3);  // not compressed at all
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

// The platform's LZ expansion service (LZOpenFile/LZCopy/LZClose) expands every file of the test
// set that we compress, at both levels and in archive form, byte for byte.
#include "archive/szdd.h"
#include "tests/archive/szdd/szdd_test_set.h"

#include <windows.h>
#include <lzexpand.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace kv::archive::szdd {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

Bytes OwnImage() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ReadFile(path);
}

// Expands `source` into `target` the way the installer does; an empty string on success.
std::string LzExpand(const std::string& source, const std::string& target) {
    OFSTRUCT sourceInfo{}, targetInfo{};
    std::string sourcePath = source, targetPath = target;
    const INT in = LZOpenFileA(sourcePath.data(), &sourceInfo, OF_READ);
    if (in < 0) return "LZOpenFile(OF_READ) failed: " + std::to_string(in);
    const INT out = LZOpenFileA(targetPath.data(), &targetInfo, OF_CREATE);
    if (out < 0) {
        LZClose(in);
        return "LZOpenFile(OF_CREATE) failed: " + std::to_string(out);
    }
    const LONG copied = LZCopy(in, out);
    LZClose(in);
    LZClose(out);
    return copied < 0 ? "LZCopy failed: " + std::to_string(copied) : std::string();
}

class SzddLz32 : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        m_dir = std::string(temp) + "kv-szdd-" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryA(m_dir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        for (const auto& path : m_written) DeleteFileA(path.c_str());
        RemoveDirectoryA(m_dir.c_str());
    }

    // Writes `stored`, lets the LZ service expand it and returns the result (or fails the test).
    void ExpectLzExpandsTo(const std::string& name, const Bytes& stored, const Bytes& expected) {
        const std::string source = m_dir + "\\" + name + ".sz";
        const std::string target = m_dir + "\\" + name + ".out";
        m_written.push_back(source);
        m_written.push_back(target);
        ASSERT_TRUE(WriteFile(source, stored)) << name;
        const std::string error = LzExpand(source, target);
        ASSERT_EQ(error, "") << name;
        const Bytes expanded = ReadFile(target);
        EXPECT_EQ(expanded.size(), expected.size()) << name;
        EXPECT_TRUE(expanded == expected) << name;
    }

    std::string m_dir;
    std::vector<std::string> m_written;
};

TEST_F(SzddLz32, ExpandsEveryTestFileAtBothLevelsAndInArchiveForm) {
    for (const auto& file : test::MakeTestSet(OwnImage())) {
        ExpectLzExpandsTo(file.name + "-best", Compress(file.bytes, Level::Best), file.bytes);
        ExpectLzExpandsTo(file.name + "-fast", Compress(file.bytes, Level::Fast), file.bytes);
        ExpectLzExpandsTo(file.name + "-archive", CompressForArchive(file.bytes, Level::Best), file.bytes);
    }
}

TEST_F(SzddLz32, FilesBeginningWithTheSignatureSurviveArchiveForm) {
    Bytes tricky(std::begin(kSignature), std::end(kSignature));
    tricky.insert(tricky.end(), {0x41, 0x00, 0x10, 0x00, 0x00, 0x00, 'n', 'o', 't', ' ', 'r', 'e', 'a', 'l'});
    ExpectLzExpandsTo("tricky", CompressForArchive(tricky), tricky);
}

}  // namespace
}  // namespace kv::archive::szdd

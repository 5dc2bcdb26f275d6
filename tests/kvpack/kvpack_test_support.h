// Helpers for kvpack's tests: a scratch folder, file access and running the kvpack binary.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kv::tools::test {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// A fresh folder for one test, removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const fs::path& path() const { return m_path; }
    fs::path operator/(const std::string& name) const { return m_path / name; }

private:
    fs::path m_path;
};

void WriteText(const fs::path& path, const std::string& text);
void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const fs::path& path);
std::string ReadText(const fs::path& path);

// Bytes that compress somewhat, like program code: a repeating pattern with noise. Same seed, same bytes.
std::vector<std::uint8_t> SampleBytes(std::size_t size, std::uint32_t seed);

// Runs `command` (already quoted shell words) in `workDir`, with KVPACK_STUB, KVPACK_UNINSTALLER,
// KVPACK_SIGN and SOURCE_DATE_EPOCH cleared, then `env` ("NAME=value ..."), capturing stdout and stderr.
RunResult RunShell(const std::string& command, const fs::path& workDir, const std::string& env = "");
RunResult RunKvpack(const std::string& args, const fs::path& workDir, const std::string& env = "");

std::string Quote(const std::string& word);

// The signed 8-bit byte sum the trailer stores, written out here once more so that tests that damage
// an installer on purpose can give it a matching checksum.
std::uint32_t SignedByteSum(const std::vector<std::uint8_t>& bytes, std::size_t count);
void FixChecksum(std::vector<std::uint8_t>& installer);

// A program image of `size` bytes with the mark of one of this project's programs (KV_INSTALLER_MARK,
// KV_UNINSTALLER_MARK), sample bytes behind its headers and resources.
std::vector<std::uint8_t> MarkedProgram(const char* mark, std::size_t size, std::uint32_t seed);

// A small sound project in `dir`: stub.exe, Kvuninstall.exe, app.exe, readme.txt, data/big.bin and
// project.toml (title "Test App", two settings, four file records). Returns the project path.
fs::path WriteSampleProject(const fs::path& dir, const std::string& extraHeader = "");

}  // namespace kv::tools::test

// Helpers for kvpack's tests: a scratch folder, file access and running the kvpack binary.
#include "kvpack_test_support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "archive/product_texts.h"
#include "tests/archive/minimal_pe.h"
#include "tools/kvpack/pe_resources.h"

namespace kv::tools::test {

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "kvpack-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> SampleBytes(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(size);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = (state >> 24) % 7 == 0 ? static_cast<std::uint8_t>(state >> 16)
                                          : static_cast<std::uint8_t>("MZ\x90\0push ebp; mov ebp, esp\n"[i % 28]);
    }
    return bytes;
}

std::string Quote(const std::string& word) {
    std::string out = "'";
    for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

RunResult RunShell(const std::string& command, const fs::path& workDir, const std::string& env) {
    static int counter = 0;
    const fs::path out = workDir / (".out" + std::to_string(counter));
    const fs::path err = workDir / (".err" + std::to_string(counter++));
    const std::string line = "cd " + Quote(workDir.string()) +
                             " && ( unset KVPACK_STUB KVPACK_UNINSTALLER KVPACK_SIGN SOURCE_DATE_EPOCH; " +
                             (env.empty() ? "" : "export " + env + "; ") + command + " ) >" + Quote(out.string()) +
                             " 2>" + Quote(err.string());
    const int status = std::system(line.c_str());
    RunResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadText(out);
    result.err = ReadText(err);
    fs::remove(out);
    fs::remove(err);
    return result;
}

RunResult RunKvpack(const std::string& args, const fs::path& workDir, const std::string& env) {
    return RunShell(Quote(KVPACK_EXE) + " " + args + " </dev/null", workDir, env);
}

std::uint32_t SignedByteSum(const std::vector<std::uint8_t>& bytes, std::size_t count) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<std::int8_t>(bytes[i])));
    return sum;
}

void FixChecksum(std::vector<std::uint8_t>& installer) {
    const std::uint32_t sum = SignedByteSum(installer, installer.size() - 4);
    for (int i = 0; i < 4; ++i) installer[installer.size() - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
}

std::vector<std::uint8_t> MarkedProgram(const char* mark, std::size_t size, std::uint32_t seed) {
    std::vector<Resource> resources;
    SetString(resources, KV_TEXT_PROGRAM_MARK, std::u16string(mark, mark + std::char_traits<char>::length(mark)),
              0x409);
    std::vector<std::uint8_t> image = *WithResources(kv::test::MinimalPeImage(), resources);
    const std::vector<std::uint8_t> extra = SampleBytes(size > image.size() ? size - image.size() : 0, seed);
    image.insert(image.end(), extra.begin(), extra.end());
    return image;
}

fs::path WriteSampleProject(const fs::path& dir, const std::string& extraHeader) {
    WriteBytes(dir / "stub.exe", MarkedProgram(KV_INSTALLER_MARK, 5000, 1));
    WriteBytes(dir / "Kvuninstall.exe", MarkedProgram(KV_UNINSTALLER_MARK, 3000, 2));
    WriteBytes(dir / "app.exe", SampleBytes(20000, 3));
    WriteText(dir / "readme.txt", "Read me.\r\nThis is the test application.\r\n");
    WriteBytes(dir / "data" / "big.bin", SampleBytes(150000, 4));
    WriteText(dir / "project.toml",
              "title = \"Test App\"\n"
              "displayName = \"Test App\"\n"
              "setupName = \"SETUP.EXE\"\n"
              "defaultFolder = 'C:\\Test App'\n"
              "runFile = \"APP.EXE\"\n"
              "programsFolder = \"Test App\"\n"
              "stub = \"stub.exe\"\n" +
                  extraHeader +
                  "\n[[setting]]\n"
                  "iniFile = \"test.ini\"\nsection = \"Paths\"\nkey = \"Home\"\nvalue = \"$INSTALL\"\n"
                  "\n[[setting]]\n"
                  "iniFile = \"test.ini\"\nsection = \"Options\"\nkey = \"Count\"\nvalue = 7\nnumeric = 1\n"
                  "\n[[file]]\nsource = \"Kvuninstall.exe\"\n"
                  "\n[[file]]\nsource = \"app.exe\"\nfile = \"APP.EXE\"\nexeparms = \"/quiet\"\n"
                  "desktopIcon = true\nprogramsIcon = 1\niconName = \"Test App\"\n"
                  "\n[[file]]\nsource = \"readme.txt\"\nfile = \"README.TXT\"\nfolder = \"Docs\"\n"
                  "\n[[file]]\nsource = \"data/big.bin\"\nfolder = \"Data\"\n");
    return dir / "project.toml";
}

}  // namespace kv::tools::test

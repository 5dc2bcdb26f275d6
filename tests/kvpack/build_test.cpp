// kvpack build: reproducible output, the dates it chooses, where the uninstaller comes from, and
// the layout of what it writes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include "kvpack_test_support.h"
#include "archive/product_texts.h"

namespace kv::tools::test {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The "archiveDate" field of `kvpack list --json`.
std::string ListedArchiveDate(const fs::path& dir, const std::string& installer) {
    const RunResult list = RunKvpack("list --json " + installer, dir);
    const std::string key = "\"archiveDate\": \"";
    const std::size_t at = list.out.find(key);
    if (at == std::string::npos) return "(missing) " + list.err;
    return list.out.substr(at + key.size(), list.out.find('"', at + key.size()) - at - key.size());
}

void SetModificationTime(const fs::path& path, time_t seconds) {
    const utimbuf times{seconds, seconds};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

TEST(KvpackBuild, SameInputsGiveTheSameBytes) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    ASSERT_EQ(RunKvpack("build project.toml -o one.exe", dir.path()).exitCode, 0);
    // Another thread count and another working folder must not change a byte.
    fs::create_directories(dir / "elsewhere");
    const RunResult second = RunKvpack("build ../project.toml -o ../two.exe -j 1", dir / "elsewhere");
    ASSERT_EQ(second.exitCode, 0) << second.err;
    const auto one = ReadBytes(dir / "one.exe");
    EXPECT_EQ(one, ReadBytes(dir / "two.exe"));
    // Touching a source moves the default date, and with it the output.
    SetModificationTime(dir / "readme.txt", 2000000000);
    ASSERT_EQ(RunKvpack("build project.toml -o three.exe", dir.path()).exitCode, 0);
    EXPECT_NE(one, ReadBytes(dir / "three.exe"));
}

TEST(KvpackBuild, DatesLeftOutComeFromSourceDateEpochElseTheNewestSource) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    for (const char* source : {"Kvuninstall.exe", "app.exe", "readme.txt", "data/big.bin"}) {
        SetModificationTime(dir / source, 1600000000);  // 2020-09-13T12:26:40Z
    }
    SetModificationTime(dir / "data/big.bin", 1700000000);  // 2023-11-14T22:13:20Z, the newest
    SetModificationTime(dir / "stub.exe", 1800000000);      // the program image is not a source

    ASSERT_EQ(RunKvpack("build project.toml -o mtime.exe", dir.path()).exitCode, 0);
    EXPECT_EQ(ListedArchiveDate(dir.path(), "mtime.exe"), "2023-11-14T22:13:20Z");

    ASSERT_EQ(RunKvpack("build project.toml -o epoch.exe", dir.path(), "SOURCE_DATE_EPOCH=1234567890").exitCode, 0);
    EXPECT_EQ(ListedArchiveDate(dir.path(), "epoch.exe"), "2009-02-13T23:31:30Z");
    // 1234567890 s after 1970 is 0x01C98E333296F500 in 100 ns steps after 1601; stored little-endian.
    const auto bytes = ReadBytes(dir / "epoch.exe");
    const std::vector<std::uint8_t> fileTime = {0x00, 0xF5, 0x96, 0x32, 0x33, 0x8E, 0xC9, 0x01};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), fileTime.begin(), fileTime.end()), bytes.end());

    const RunResult bad = RunKvpack("build project.toml -o bad.exe", dir.path(), "SOURCE_DATE_EPOCH=soon");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("SOURCE_DATE_EPOCH=\"soon\" is not a count of seconds"), std::string::npos) << bad.err;
}

TEST(KvpackBuild, DatesGivenInTheProjectWinOverSourceDateEpoch) {
    ScratchDir dir;
    WriteSampleProject(dir.path(),
                       "archiveDate = \"1999-01-29T17:54:25.237Z\"\n"
                       "uninstallerDate = 2001-02-03T04:05:06+01:00\n");
    const RunResult build = RunKvpack("build project.toml -o setup.exe", dir.path(), "SOURCE_DATE_EPOCH=1234567890");
    ASSERT_EQ(build.exitCode, 0) << build.err;
    EXPECT_EQ(ListedArchiveDate(dir.path(), "setup.exe"), "1999-01-29T17:54:25.237Z");
    const RunResult list = RunKvpack("list --json setup.exe", dir.path());
    EXPECT_NE(list.out.find("\"uninstallerDate\": \"2001-02-03T03:05:06Z\""), std::string::npos) << list.out;
    // 1999-01-29 17:54:25.237 UTC as a FILETIME, stored little-endian: 50 08 7E 68 B0 4B BE 01.
    const auto bytes = ReadBytes(dir / "setup.exe");
    const std::vector<std::uint8_t> fileTime = {0x50, 0x08, 0x7E, 0x68, 0xB0, 0x4B, 0xBE, 0x01};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), fileTime.begin(), fileTime.end()), bytes.end());
}

TEST(KvpackBuild, LayoutIsStubEntriesManifestTrailerInMultiplesOfEight) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    for (const char* flags : {"", " --fast"}) {
        const RunResult build = RunKvpack(std::string("build project.toml -o setup.exe") + flags, dir.path());
        ASSERT_EQ(build.exitCode, 0) << build.err;
        const auto bytes = ReadBytes(dir / "setup.exe");
        const auto stub = ReadBytes(dir / "stub.exe");
        ASSERT_GT(bytes.size(), stub.size() + 8);
        EXPECT_EQ(bytes.size() % 8, 0u) << flags;
        EXPECT_TRUE(std::equal(stub.begin(), stub.end(), bytes.begin()));
        EXPECT_EQ(U32At(bytes, bytes.size() - 4), SignedByteSum(bytes, bytes.size() - 4));
        // The manifest, found from the end, starts with the title.
        const std::uint32_t manifestLength = U32At(bytes, bytes.size() - 8);
        const std::size_t manifestStart = bytes.size() - 8 - manifestLength;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[manifestStart])), "Test App");
        // The first entry starts right after the stub: the uninstaller, compressed.
        const std::vector<std::uint8_t> szdd = {0x53, 0x5A, 0x44, 0x44, 0x88, 0xF0, 0x27, 0x33, 0x41, 0x00};
        EXPECT_TRUE(std::equal(szdd.begin(), szdd.end(), bytes.begin() + static_cast<std::ptrdiff_t>(stub.size())));
    }
    // Best compression is never larger than fast.
    ASSERT_EQ(RunKvpack("build project.toml -o best.exe", dir.path()).exitCode, 0);
    ASSERT_EQ(RunKvpack("build project.toml -o fast.exe --fast", dir.path()).exitCode, 0);
    EXPECT_LE(fs::file_size(dir / "best.exe"), fs::file_size(dir / "fast.exe"));
}

TEST(KvpackBuild, UninstallerFromOptionKeyOrEnvironmentIsPrependedAsTheFirstRecord) {
    ScratchDir dir;
    const std::string fixedDate = "archiveDate = \"2026-01-01T00:00:00Z\"\n";  // copies get new times
    WriteSampleProject(dir.path(), fixedDate);
    // The same project without the uninstaller in its file list.
    std::string text = ReadText(dir / "project.toml");
    const std::string listed = "\n[[file]]\nsource = \"Kvuninstall.exe\"\n";
    text.erase(text.find(listed), listed.size());
    WriteText(dir / "project.toml", text);
    fs::create_directories(dir / "tools");
    fs::copy_file(dir / "Kvuninstall.exe", dir / "tools" / "uninst.bin");

    ASSERT_EQ(RunKvpack("build project.toml -o option.exe --uninstaller tools/uninst.bin", dir.path()).exitCode, 0);
    ASSERT_EQ(RunKvpack("build project.toml -o env.exe", dir.path(), "KVPACK_UNINSTALLER=tools/uninst.bin").exitCode,
              0);
    WriteText(dir / "project.toml", "uninstaller = \"tools/uninst.bin\"\n" + text);
    fs::create_directories(dir / "cwd");
    ASSERT_EQ(RunKvpack("build ../project.toml -o ../key.exe", dir / "cwd").exitCode, 0);

    // All three carry the same bytes as a project that lists Kvuninstall.exe itself.
    WriteSampleProject(dir.path(), fixedDate);
    ASSERT_EQ(RunKvpack("build project.toml -o listed.exe", dir.path(), "KVPACK_UNINSTALLER=elsewhere.exe").exitCode,
              0);
    const auto listedBytes = ReadBytes(dir / "listed.exe");
    EXPECT_EQ(ReadBytes(dir / "option.exe"), listedBytes);
    EXPECT_EQ(ReadBytes(dir / "env.exe"), listedBytes);
    EXPECT_EQ(ReadBytes(dir / "key.exe"), listedBytes);

    const RunResult missing = RunKvpack("build project.toml -o x.exe --uninstaller nope.exe", dir.path());
    EXPECT_EQ(missing.exitCode, 2);
}

TEST(KvpackBuild, NonAsciiTextIsWrittenInTheWindowsCodePage) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    std::string text = ReadText(dir / "project.toml");
    const std::string plain = "title = \"Test App\"";
    text.replace(text.find(plain), plain.size(), "title = \"Caf\u00e9 \u20ac\"");
    WriteText(dir / "project.toml", text);
    ASSERT_EQ(RunKvpack("build project.toml -o setup.exe", dir.path()).exitCode, 0);
    const auto bytes = ReadBytes(dir / "setup.exe");
    const std::vector<std::uint8_t> title = {'C', 'a', 'f', 0xE9, ' ', 0x80, 0x00};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), title.begin(), title.end()), bytes.end());
    const RunResult list = RunKvpack("list --json setup.exe", dir.path());
    EXPECT_NE(list.out.find("\"title\": \"Caf\u00e9 \u20ac\""), std::string::npos) << list.out;
}

// Progress goes to a terminal only: piped output stays clean for scripts and logs.
TEST(KvpackBuild, ShowsProgressOnlyOnATerminal) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    const RunResult piped = RunKvpack("build project.toml -o piped.exe", dir.path());
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.err, "");
    EXPECT_NE(piped.out.find("piped.exe: 4 files"), std::string::npos) << piped.out;
    if (RunShell("which script", dir.path()).exitCode != 0) GTEST_SKIP() << "no script(1) to provide a terminal";
    // script(1) runs kvpack on a pseudo-terminal and copies what it shows into typescript.txt.
    const RunResult terminal = RunShell(
        "script -qec " + Quote(Quote(KVPACK_EXE) + " build project.toml -o tty.exe") + " typescript.txt", dir.path());
    ASSERT_EQ(terminal.exitCode, 0) << terminal.err;
    EXPECT_NE(ReadText(dir / "typescript.txt").find("compressing 4/4 (100%)"), std::string::npos)
        << ReadText(dir / "typescript.txt");
    EXPECT_EQ(ReadBytes(dir / "tty.exe"), ReadBytes(dir / "piped.exe"));
}

// The demo project in examples/demo builds once the programs it names exist (stand-ins here).
TEST(KvpackBuild, DemoProjectBuildsWithTheRecordsTheDemoNeeds) {
    ScratchDir dir;
    const fs::path demo = fs::path(KV_SOURCE_DIR) / "examples" / "demo";
    for (const char* name : {"kvdemo.toml", "readme.txt", "license.rtf", "kvdemo.ico"}) {
        fs::create_directories(dir / "examples/demo");
        fs::copy_file(demo / name, dir / "examples/demo" / name);
    }
    WriteBytes(dir / "build/mingw64/examples/demo/KVDEMO.exe", SampleBytes(30000, 11));
    WriteBytes(dir / "build/mingw64/app/kvsetup.exe", MarkedProgram(KV_INSTALLER_MARK, 40000, 12));
    WriteBytes(dir / "build/mingw64/uninstall/Kvuninstall.exe", MarkedProgram(KV_UNINSTALLER_MARK, 20000, 13));
    const RunResult build = RunKvpack("build examples/demo/kvdemo.toml -o setup.exe", dir.path());
    ASSERT_EQ(build.exitCode, 0) << build.err;
    EXPECT_EQ(RunKvpack("verify setup.exe", dir.path()).exitCode, 0);
    const RunResult list = RunKvpack("list --json setup.exe", dir.path());
    WriteText(dir / "list.json", list.out);
    const RunResult check = RunShell(
        "python3 -c 'import json; d=json.load(open(\"list.json\")); "
        "print([(f[\"file\"], f[\"folder\"], f[\"desktopIcon\"], f[\"programsIcon\"], f[\"iconName\"]) for f in "
        "d[\"files\"]]); "
        "print([(s[\"value\"], s[\"numeric\"]) for s in d[\"settings\"]]); print(d[\"runFile\"], "
        "d[\"programsFolder\"]); p=d[\"product\"]; print(p[\"version\"], p[\"publisher\"], p[\"icon\"])'",
        dir.path());
    ASSERT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out,
              "[('Kvuninstall.exe', '', 0, 0, ''), ('KVDEMO.EXE', '', 1, 1, 'Korvalin Demo'), "
              "('README.TXT', '', 0, 1, 'Korvalin Demo Read Me'), ('LICENSE.RTF', '', 0, 0, '')]\n"
              "[('$INSTALL', 0), ('0', 1)]\nKVDEMO.EXE Korvalin Demo\n"
              "1.0 Korvalin Demo Makers ['32x32', '16x16', '48x48', '64x64', '24x24']\n");
}

TEST(KvpackBuild, ASigningCommandThatFailsOrCannotWorkIsReportedWithExitCodeTwo) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    RunResult result = RunKvpack("build project.toml -o setup.exe --sign 'false {in} {out}'", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("signing the uninstaller failed (exit status 1): false '"), std::string::npos)
        << result.err;
    // A command that copies instead of signing leaves an installer that is not signed.
    result = RunKvpack("build project.toml -o setup.exe --sign 'cp {in} {out}'", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("does not read back as a signed installer"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir / "setup.exe"));

    result = RunKvpack("build project.toml -o setup.exe", dir.path(), "KVPACK_SIGN='signtool {in}'");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("sign: must name the file to sign as {in} and the signed file as {out}"),
              std::string::npos)
        << result.err;
}

}  // namespace
}  // namespace kv::tools::test

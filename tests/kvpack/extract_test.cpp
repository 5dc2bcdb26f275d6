// kvpack extract: the right bytes in the right places, and nothing ever written outside DIR.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

void AppendString(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// An installer written byte by byte, without kvpack or the format library: a 100-byte program image,
// one stored (uncompressed) entry shared by both records, the uninstaller and one more record.
std::vector<std::uint8_t> HandMadeInstaller(const std::string& file, const std::string& folder) {
    std::vector<std::uint8_t> bytes(100, 'M');
    const std::string entry = "payload";
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    std::vector<std::uint8_t> manifest;
    for (const char* header : {"T", "D", "S.EXE", "", "", ""}) AppendString(manifest, header);
    manifest.insert(manifest.end(), 16, 0);  // archiveDate, uninstallerDate
    AppendU32(manifest, 0);                  // settingCount
    AppendU32(manifest, 2);                  // fileCount
    for (const auto& [name, where] : {std::pair<std::string, std::string>{"Kvuninstall.exe", ""}, {file, folder}}) {
        AppendString(manifest, name);
        AppendString(manifest, where);
        AppendString(manifest, "");
        AppendU32(manifest, 0);
        AppendU32(manifest, 0);
        AppendString(manifest, "");
        AppendU32(manifest, 100);
        AppendU32(manifest, static_cast<std::uint32_t>(entry.size()));
    }
    manifest.push_back(0);
    bytes.insert(bytes.end(), manifest.begin(), manifest.end());
    AppendU32(bytes, static_cast<std::uint32_t>(manifest.size()));
    AppendU32(bytes, 0);
    FixChecksum(bytes);
    return bytes;
}

// Every regular file below `root`, as paths relative to it.
std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> files;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) files.push_back(fs::relative(item.path(), root).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(KvpackExtract, WritesEveryFileWithItsBytesAndTime) {
    ScratchDir dir;
    WriteSampleProject(dir.path(),
                       "archiveDate = \"2026-12-01T12:00:00Z\"\nuninstallerDate = \"2026-11-30T00:00:00Z\"\n");
    ASSERT_EQ(RunKvpack("build project.toml -o setup.exe", dir.path()).exitCode, 0);
    const RunResult extract = RunKvpack("extract setup.exe -d out", dir.path());
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(FilesBelow(dir / "out"),
              (std::vector<std::string>{"APP.EXE", "Data/big.bin", "Docs/README.TXT", "Kvuninstall.exe"}));
    EXPECT_EQ(ReadBytes(dir / "out/Kvuninstall.exe"), ReadBytes(dir / "Kvuninstall.exe"));
    EXPECT_EQ(ReadBytes(dir / "out/APP.EXE"), ReadBytes(dir / "app.exe"));
    EXPECT_EQ(ReadBytes(dir / "out/Docs/README.TXT"), ReadBytes(dir / "readme.txt"));
    EXPECT_EQ(ReadBytes(dir / "out/Data/big.bin"), ReadBytes(dir / "data/big.bin"));
    struct stat info {};
    ASSERT_EQ(stat((dir / "out/APP.EXE").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1796126400);  // 2026-12-01T12:00:00Z
    ASSERT_EQ(stat((dir / "out/Kvuninstall.exe").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1795996800);  // 2026-11-30T00:00:00Z
}

// A [[tree]]: one record per file with its folders below the tree's top, ordered by name alone (a
// folder's files, then its subfolders, bytewise), listed and extracted back to the same tree.
TEST(KvpackExtract, ATreeOfFourLevelsComesBackWholeInNameOrder) {
    ScratchDir dir;
    const fs::path project = WriteSampleProject(dir.path());
    const std::vector<std::string> made = {"a/b/c/d/four.txt", "a/b/c/three.txt", "a/b/two.txt",
                                           "a/one.txt",        "a/B2/other.txt",  "top.txt"};
    for (std::size_t i = 0; i < made.size(); ++i) {
        fs::create_directories((dir / "tree" / made[i]).parent_path());
        WriteBytes(dir / "tree" / made[i], SampleBytes(300 + i, static_cast<std::uint32_t>(i)));
    }
    WriteText(project, ReadText(project) + "\n[[tree]]\nsource = \"tree\"\nfolder = 'Res\\'\n");
    const RunResult built = RunKvpack("build project.toml -o setup.exe", dir.path());
    ASSERT_EQ(built.exitCode, 0) << built.err;

    const RunResult listed = RunKvpack("list setup.exe", dir.path());
    std::size_t at = 0;
    for (const char* shown : {"Res\\top.txt", "Res\\a\\one.txt", "Res\\a\\B2\\other.txt", "Res\\a\\b\\two.txt",
                              "Res\\a\\b\\c\\three.txt", "Res\\a\\b\\c\\d\\four.txt"}) {
        at = listed.out.find(shown, at);
        ASSERT_NE(at, std::string::npos) << shown << " in order in\n" << listed.out;
    }

    ASSERT_EQ(RunKvpack("extract setup.exe -d out", dir.path()).exitCode, 0);
    for (const std::string& path : made) EXPECT_EQ(ReadBytes(dir / "out/Res" / path), ReadBytes(dir / "tree" / path));
    EXPECT_EQ(FilesBelow(dir / "out").size(), 4 + made.size());
}

TEST(KvpackExtract, ReadsAHandMadeInstaller) {
    ScratchDir dir;
    WriteBytes(dir / "hand.exe", HandMadeInstaller("NOTE.TXT", "Sub"));
    const RunResult extract = RunKvpack("extract hand.exe -d out", dir.path());
    ASSERT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(ReadText(dir / "out/Sub/NOTE.TXT"), "payload");
    EXPECT_EQ(ReadText(dir / "out/Kvuninstall.exe"), "payload");
}

TEST(KvpackExtract, RefusesRecordsThatLeaveTheTargetFolder) {
    const std::vector<std::pair<std::string, std::string>> escapes = {{"evil.txt", "..\\..\\outside"},
                                                                      {"evil.txt", "../../outside"},
                                                                      {"evil.txt", "..\\.."},
                                                                      {"..", ""},
                                                                      {"evil.txt", "inner\\..\\..\\.."}};
    for (const auto& [file, folder] : escapes) {
        ScratchDir dir;
        fs::create_directories(dir / "a/b");
        WriteBytes(dir / "bad.exe", HandMadeInstaller(file, folder));
        const RunResult extract = RunKvpack("extract ../../bad.exe -d out", dir / "a/b");
        EXPECT_NE(extract.exitCode, 0) << folder << "\\" << file;
        EXPECT_FALSE(extract.err.empty());
        // Nothing at all was written: only the damaged installer is there.
        EXPECT_EQ(FilesBelow(dir.path()), std::vector<std::string>{"bad.exe"}) << folder << "\\" << file;
    }
    // An absolute folder, pointing into the scratch folder itself.
    ScratchDir dir;
    WriteBytes(dir / "bad.exe", HandMadeInstaller("evil.txt", (dir / "abs").string()));
    EXPECT_NE(RunKvpack("extract bad.exe -d out", dir.path()).exitCode, 0);
    EXPECT_EQ(FilesBelow(dir.path()), std::vector<std::string>{"bad.exe"});
}

TEST(KvpackExtract, RefusesAFolderThatIsALinkToElsewhere) {
    ScratchDir dir;
    WriteSampleProject(dir.path());
    ASSERT_EQ(RunKvpack("build project.toml -o setup.exe", dir.path()).exitCode, 0);
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "elsewhere");
    fs::create_directory_symlink(dir / "elsewhere", dir / "out" / "Docs");
    const RunResult extract = RunKvpack("extract setup.exe -d out", dir.path());
    EXPECT_EQ(extract.exitCode, 3);
    EXPECT_NE(extract.err.find("leads outside"), std::string::npos) << extract.err;
    EXPECT_TRUE(fs::is_empty(dir / "elsewhere"));
}

}  // namespace
}  // namespace kv::tools::test

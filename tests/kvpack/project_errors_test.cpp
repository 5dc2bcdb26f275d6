// kvpack build on broken project files: one case per kind of mistake, each message naming the
// project file, the line and the field, and no installer written.
#include <gtest/gtest.h>

#include "kvpack_test_support.h"

namespace kv::tools::test {
namespace {

// Lines 1-5 of every case.
constexpr char kHead[] =
    "title = \"T\"\ndisplayName = \"D\"\nsetupName = \"SETUP.EXE\"\ndefaultFolder = \"\"\nstub = \"stub.exe\"\n";
// A blank line, then file[1] at lines 7-8 and file[2] at lines 10-11; a case may add keys from line 12.
constexpr char kFiles[] = "\n[[file]]\nsource = \"Kvuninstall.exe\"\n\n[[file]]\nsource = \"app.exe\"\n";

struct BadProject {
    const char* name;
    std::string text;      // {HEAD} and {FILES} stand for the texts above
    std::string expected;  // what stderr must contain after "bad.toml"
};

std::string Expand(std::string text) {
    for (const auto& [mark, body] : {std::pair<std::string, std::string>{"{HEAD}", kHead}, {"{FILES}", kFiles}}) {
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark))
            text.replace(at, mark.size(), body);
    }
    return text;
}

void PrintTo(const BadProject& project, std::ostream* out) { *out << project.name; }

class ProjectErrors : public testing::TestWithParam<BadProject> {};

TEST_P(ProjectErrors, NameFileLineAndField) {
    ScratchDir dir;
    WriteBytes(dir / "stub.exe", SampleBytes(1000, 1));
    WriteBytes(dir / "Kvuninstall.exe", SampleBytes(100, 2));
    WriteBytes(dir / "app.exe", SampleBytes(100, 3));
    WriteText(dir / "readme.txt", "text");
    WriteText(dir / "bad.toml", Expand(GetParam().text));
    const RunResult result = RunKvpack("build bad.toml -o out.exe", dir.path());
    EXPECT_EQ(result.exitCode, 2) << result.err;
    EXPECT_NE(result.err.find("bad.toml" + GetParam().expected), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

const std::string kLongTitle(125, 'x');
const std::string kLongProgramsFolder(50, 'p');

INSTANTIATE_TEST_SUITE_P(
    Kvpack, ProjectErrors,
    testing::Values(
        BadProject{"Syntax", "title = \"T\n", ":1: syntax:"},
        BadProject{"UnknownKeyWithHint", "{HEAD}titel = \"x\"\n{FILES}",
                   ":6: titel: unknown key (did you mean title?)"},
        BadProject{"UnknownFileKey", "{HEAD}{FILES}iconname = \"x\"\n", ":12: file[2].iconname: unknown key"},
        BadProject{"MissingRequiredField",
                   "title = \"T\"\ndisplayName = \"D\"\ndefaultFolder = \"\"\nstub = \"stub.exe\"\n{FILES}",
                   ": setupName: required"},
        BadProject{"WrongType", "{HEAD}runFile = 5\n{FILES}", ":6: runFile: must be a string"},
        BadProject{"TitleOverLimit",
                   "title = \"" + kLongTitle +
                       "\"\ndisplayName = \"D\"\nsetupName = \"S.EXE\"\ndefaultFolder = \"\"\n"
                       "stub = \"stub.exe\"\n{FILES}",
                   ":1: title: 125 characters, the limit is 124"},
        BadProject{"ProgramsFolderOverLimit", "{HEAD}programsFolder = \"" + kLongProgramsFolder + "\"\n{FILES}",
                   ":6: programsFolder: 50 characters, the limit is 49"},
        BadProject{"CharacterOutsideCodePage", "{HEAD}programsFolder = \"Demo \u2603\"\n{FILES}",
                   ":6: programsFolder: character \"\u2603\" has no place in the Windows-1252 code page"},
        BadProject{"DisplayNameWithBackslash",
                   "title = \"T\"\ndisplayName = 'A\\B'\nsetupName = \"S.EXE\"\ndefaultFolder = \"\"\nstub = "
                   "\"stub.exe\"\n{FILES}",
                   ":2: displayName: must not contain a backslash"},
        BadProject{"DisplayNameEndingInABlank",
                   "title = \"T\"\ndisplayName = 'App '\nsetupName = \"S.EXE\"\ndefaultFolder = \"\"\nstub = "
                   "\"stub.exe\"\n{FILES}",
                   ":2: displayName: must not begin or end with a blank"},
        BadProject{"DisplayNameWithTheQuietWord",
                   "title = \"T\"\ndisplayName = 'App /s Edition'\nsetupName = \"S.EXE\"\ndefaultFolder = \"\"\n"
                   "stub = \"stub.exe\"\n{FILES}",
                   ":2: displayName: must not contain the word /S"},
        BadProject{"BadDate", "{HEAD}archiveDate = \"2026-13-01T00:00:00Z\"\n{FILES}",
                   ":6: archiveDate: \"2026-13-01T00:00:00Z\" is not an ISO-8601 UTC time"},
        BadProject{"LocalDate", "{HEAD}uninstallerDate = 2026-12-01T12:00:00\n{FILES}",
                   ":6: uninstallerDate: a local time depends on the machine"},
        BadProject{"BadCompression", "{HEAD}compression = \"max\"\n{FILES}",
                   ":6: compression: must be \"best\" or \"fast\""},
        BadProject{"NoFiles", "{HEAD}", ": file: at least one [[file]] or [[tree]] is required"},
        BadProject{"TreeSourceNotAFolder", "{HEAD}{FILES}\n[[tree]]\nsource = \"app.exe\"\n",
                   ":14: tree[1].source: not a folder"},
        BadProject{"FolderWithAnEmptyLevel", "{HEAD}{FILES}folder = 'a\\\\b'\n",
                   ":12: file[2].folder: must not have an empty level"},
        BadProject{"FolderLevelIsADevice", "{HEAD}{FILES}folder = 'a\\aux.d'\n",
                   ":12: file[2].folder: a level names a Windows device"},
        BadProject{"FolderLevelEndsInADot", "{HEAD}{FILES}folder = 'a.\\b'\n",
                   ":12: file[2].folder: level \"a.\" must not end with a dot or a space"},
        BadProject{"ProgramsFolderNested", "{HEAD}programsFolder = 'A\\B'\n{FILES}",
                   ":6: programsFolder: one folder level only"},
        BadProject{"SettingNotATableList", "{HEAD}setting = \"x\"\n{FILES}", ":6: setting: must be a list of tables"},
        BadProject{"FirstFileNotUninstaller", "{HEAD}\n[[file]]\nsource = \"app.exe\"\n",
                   ":7: file[1].file: the first file must be the uninstaller Kvuninstall.exe with an empty folder: "
                   "give it with --uninstaller FILE"},
        BadProject{"UninstallerGivenTwice", "{HEAD}uninstaller = \"Kvuninstall.exe\"\n{FILES}",
                   ":9: file[1].file: Kvuninstall.exe is given twice"},
        BadProject{"UninstallerInAFolder", "{HEAD}\n[[file]]\nsource = \"Kvuninstall.exe\"\nfolder = \"bin\"\n",
                   ":9: file[1].folder: the uninstaller must have an empty folder"},
        BadProject{"RunFileNamesNoFile", "{HEAD}runFile = \"APP.EXE\"\n{FILES}",
                   ":6: runFile: \"APP.EXE\" names no listed file (the names are compared case-sensitively: file[2] is "
                   "\"app.exe\")"},
        BadProject{"ShortcutWithoutIconName", "{HEAD}{FILES}desktopIcon = true\n",
                   ":12: file[2].iconName: required when desktopIcon or programsIcon is set"},
        BadProject{"IconNameWithoutShortcut", "{HEAD}{FILES}iconName = \"App\"\n",
                   ":12: file[2].iconName: given but no shortcut is asked for"},
        BadProject{"IconNameGivesNoShortcutName", "{HEAD}{FILES}programsIcon = 1\niconName = \".hidden\"\n",
                   ":13: file[2].iconName: the text before the first \".\" names the shortcut file"},
        BadProject{"FlagOutOfRange", "{HEAD}{FILES}programsIcon = 2\niconName = \"A\"\n",
                   ":12: file[2].programsIcon: must be true, false, 0 or 1"},
        BadProject{"FileNameWithSeparator", "{HEAD}{FILES}file = 'bin\\app.exe'\n",
                   ":12: file[2].file: must not contain a path separator"},
        BadProject{"FileNameDotDot", "{HEAD}{FILES}file = '..'\n", ":12: file[2].file: \"..\" is not a name"},
        BadProject{"FolderLeavesInstallFolder", "{HEAD}{FILES}folder = '..\\up'\n",
                   ":12: file[2].folder: must not leave the installation folder"},
        BadProject{"FolderAbsolute", "{HEAD}{FILES}folder = 'C:\\Windows'\n",
                   ":12: file[2].folder: must be relative to the installation folder"},
        BadProject{"MissingSource", "{HEAD}{FILES}\n[[file]]\nsource = \"gone.txt\"\n",
                   ":14: file[3].source: no such file"},
        BadProject{"TwoRecordsOneTarget", "{HEAD}{FILES}\n[[file]]\nsource = \"readme.txt\"\nfile = \"APP.exe\"\n",
                   ":15: file[3].file: installs to the same place as file[2] (APP.exe)"},
        // Letters beyond ASCII fold as Windows folds them: \u00e4 and \u00c4 name one file.
        BadProject{"TwoRecordsOneTargetBeyondAscii",
                   "{HEAD}{FILES}folder = 'd\u00e4ta'\n\n[[file]]\nsource = \"readme.txt\"\nfile = \"app.exe\"\n"
                   "folder = 'D\u00c4TA'\n",
                   ":16: file[3].file: installs to the same place as file[2]"},
        BadProject{
            "NumericSettingNotANumber",
            "{HEAD}\n[[setting]]\niniFile = \"a.ini\"\nsection = \"S\"\nkey = \"K\"\nvalue = \"many\"\nnumeric = true\n"
            "{FILES}",
            ":11: setting[1].value: a numeric setting needs an integer value"},
        BadProject{
            "IniFileWithPath",
            "{HEAD}\n[[setting]]\niniFile = '..\\evil.ini'\nsection = \"S\"\nkey = \"K\"\nvalue = \"v\"\n{FILES}",
            ":8: setting[1].iniFile: must not contain a path separator"},
        BadProject{"VersionNotNumbers", "{HEAD}version = \"beta\"\n{FILES}",
                   ":6: version: must begin with numbers from 0 to 65535"},
        BadProject{"IconMissing", "{HEAD}icon = \"gone.ico\"\n{FILES}", ":6: icon: no such file"},
        BadProject{"LicenseTextColorNotAColour", "{HEAD}licenseTextColor = \"white\"\n{FILES}",
                   ":6: licenseTextColor: must be a colour like \"#FFFFFF\""},
        BadProject{"SettingWithoutKey",
                   "{HEAD}\n[[setting]]\niniFile = \"a.ini\"\nsection = \"S\"\nvalue = \"v\"\n{FILES}",
                   ":7: setting[1].key: required"}),
    [](const testing::TestParamInfo<BadProject>& info) { return std::string(info.param.name); });

// Every mistake is reported in one run, not only the first.
TEST(KvpackProjectErrors, ReportsAllMistakesAtOnce) {
    ScratchDir dir;
    WriteBytes(dir / "Kvuninstall.exe", SampleBytes(100, 2));
    WriteBytes(dir / "app.exe", SampleBytes(100, 3));
    WriteText(dir / "bad.toml", Expand("{HEAD}titel = 1\n{FILES}folder = '..'\nexeparms = 3\n"));
    const RunResult result = RunKvpack("build bad.toml -o out.exe", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("bad.toml:6: titel:"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("bad.toml:13: file[2].folder:"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("bad.toml:14: file[2].exeparms: must be a string"), std::string::npos) << result.err;
}

TEST(KvpackInputErrors, MissingProjectStubAndUsage) {
    ScratchDir dir;
    const fs::path project = WriteSampleProject(dir.path());

    RunResult result = RunKvpack("build nothere.toml -o out.exe", dir.path());
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("project nothere.toml: cannot open"), std::string::npos) << result.err;

    result = RunKvpack("build project.toml -o out.exe --stub missing-stub.exe", dir.path());
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("stub missing-stub.exe: cannot open"), std::string::npos) << result.err;

    result = RunKvpack("build project.toml -o out.exe --stub data", dir.path());
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("stub data: is a folder"), std::string::npos) << result.err;

    WriteText(dir / "empty.exe", "");
    result = RunKvpack("build project.toml -o out.exe --stub empty.exe", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("stub empty.exe: is empty"), std::string::npos) << result.err;

    // Without the stub key, --stub or KVPACK_STUB there is nothing to put the archive behind.
    WriteText(project,
              "title = \"T\"\ndisplayName = \"D\"\nsetupName = \"S.EXE\"\ndefaultFolder = \"\"\n"
              "[[file]]\nsource = \"Kvuninstall.exe\"\n");
    result = RunKvpack("build project.toml -o out.exe", dir.path());
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("project.toml: stub: no installer program given: use --stub FILE"), std::string::npos)
        << result.err;
    result = RunKvpack("build project.toml -o out.exe", dir.path(), "KVPACK_STUB=stub.exe");
    EXPECT_EQ(result.exitCode, 0) << result.err;

    // Anything but this project's installer program as it was built gives no working installer.
    WriteText(dir / "text.exe", "this is not a program\n");
    for (const char* stub : {"text.exe", "Kvuninstall.exe", "out.exe"}) {
        result = RunKvpack(std::string("build project.toml -o again.exe --stub ") + stub, dir.path());
        EXPECT_EQ(result.exitCode, 2) << stub;
        EXPECT_NE(result.err.find(std::string("stub ") + stub + ": "), std::string::npos) << result.err;
    }
    EXPECT_NE(result.err.find("stub out.exe: an installer already built, not the installer program (kvsetup.exe)"),
              std::string::npos)
        << result.err;
    fs::copy_file(dir / "text.exe", dir / "Kvuninstall.exe", fs::copy_options::overwrite_existing);
    result = RunKvpack("build project.toml -o again.exe --stub stub.exe", dir.path());
    EXPECT_NE(result.err.find("uninstaller Kvuninstall.exe: not this project's uninstaller (Kvuninstall.exe)"),
              std::string::npos)
        << result.err;
    EXPECT_FALSE(fs::exists(dir / "again.exe"));

    result = RunKvpack("build project.toml", dir.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("--output is required"), std::string::npos) << result.err;

    result = RunKvpack("frobnicate", dir.path());
    EXPECT_EQ(result.exitCode, 1);
}

// The licence dialog shows RTF only, in dark blue on black unless the text has a colour of its own.
// The shortcut of an iconName with a "." is named by the text before it.
TEST(KvpackLicense, PlainTextIsWrappedAnRtfWithoutColourWarnsAndABinaryFileIsRefused) {
    ScratchDir dir;
    const auto build = [&](const std::string& license, const std::string& header) {
        const fs::path project = WriteSampleProject(dir.path(), header);
        WriteText(dir / "lic.bin", license);
        WriteText(project, ReadText(project) + "\n[[file]]\nsource = \"lic.bin\"\nfile = \"License.txt\"\n");
        return RunKvpack("build project.toml -o setup.exe", dir.path());
    };
    const auto installedLicense = [&] {
        fs::remove_all(dir / "out");
        EXPECT_EQ(RunKvpack("extract setup.exe -d out", dir.path()).exitCode, 0);
        return ReadText(dir / "out" / "License.txt");
    };
    const std::string yellow = "licenseTextColor = \"#FFFF00\"\n";
    RunResult result = build("Terms {1}\r\ncaf\xc3\xa9\n", yellow);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(installedLicense(),
              "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}"
              "{\\colortbl;\\red255\\green255\\blue0;}\\cf1 \\f0\\fs18\nTerms \\{1\\}\\par\ncaf\\'e9\\par\n}\n");
    EXPECT_EQ(result.err, "");

    const std::string rtf = "{\\rtf1\\ansi Terms\\par}";
    result = build(rtf, "");
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("kvpack: warning: licence lic.bin: sets no text colour, so the licence dialog shows it "
                              "dark blue on black; give it one with licenseTextColor = \"#FFFFFF\""),
              std::string::npos)
        << result.err;
    EXPECT_EQ(installedLicense(), rtf);
    result = build(rtf, yellow);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(installedLicense(), "{\\rtf1{\\colortbl;\\red255\\green255\\blue0;}\\cf1 \\ansi Terms\\par}");
    result = build("{\\rtf1{\\colortbl;\\red0\\green0\\blue0;} Terms}", yellow);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("has a colour table of its own"), std::string::npos) << result.err;

    result = build(std::string("MZ\x90\0\x03\0", 6), "");
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("licence lic.bin: neither RTF nor plain text"), std::string::npos) << result.err;

    const fs::path project = WriteSampleProject(dir.path());
    std::string text = ReadText(project);
    text.replace(text.find("iconName = \"Test App\""), 21, "iconName = \"Test App 8.0\"");
    WriteText(project, text);
    result = RunKvpack("build project.toml -o setup.exe", dir.path());
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("file[2].iconName: the shortcut file is named \"Test App 8.lnk\""), std::string::npos)
        << result.err;
}

}  // namespace
}  // namespace kv::tools::test

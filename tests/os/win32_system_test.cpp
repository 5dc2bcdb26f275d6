// The Win32 System for real, in a temporary folder of the Wine prefix: LZ expansion (long paths
// included), profile files, the registry, shell links and file times, each read back through the
// platform's own services rather than through the code under test.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/names.h"
#include "archive/szdd.h"
#include "install/file_placement.h"
#include "install/profile_settings.h"
#include "install/shortcuts.h"
#include "os/win32_system.h"
#include "uninstall/registration.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

std::vector<std::uint8_t> SampleData(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        // Repetitive text with some noise, so that matches and literals both occur.
        data[i] =
            (i % 97 < 60) ? static_cast<std::uint8_t>("installer "[i % 10]) : static_cast<std::uint8_t>(state >> 24);
    }
    return data;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<std::uint8_t> bytes;
    if (handle == INVALID_HANDLE_VALUE) return bytes;
    std::uint8_t buffer[65536];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    CloseHandle(handle);
    return bytes;
}

struct Win32SystemTest : ::testing::Test {
    Win32System system;
    std::string root;

    void SetUp() override {
        char temp[MAX_PATH] = {};
        ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
        root = std::string(temp) + "kv-engine-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        ASSERT_TRUE(system.MakeDirectory(root)) << root;
    }
    void TearDown() override { RemoveTree(root); }

    static void RemoveTree(const std::string& folder) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string name = found.cFileName;
                if (name == "." || name == "..") continue;
                const std::string path = folder + "\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(path);
                else
                    DeleteFileA(path.c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(folder.c_str());
    }

    // A folder under root whose path is exactly `length` characters long.
    std::string LongFolder(std::size_t length) {
        std::string path = root;
        while (path.size() + 1 < length) {
            const std::size_t part = std::min<std::size_t>(60, length - path.size() - 1);
            path += '\\';
            path.append(part, 'd');
            EXPECT_TRUE(system.MakeDirectory(path)) << path;
        }
        EXPECT_EQ(path.size(), length);
        return path;
    }
};

TEST_F(Win32SystemTest, LzExpansionOfSzddEntriesIncludingPathsBeyondTheOfstructLimit) {
    const auto original = SampleData(50'000);
    const auto compressed = archive::szdd::Compress(original);
    ASSERT_TRUE(archive::szdd::HasSignature(compressed));
    ASSERT_LT(compressed.size(), original.size());

    for (std::size_t folderLength : {root.size(), std::size_t{230}}) {
        const std::string folder = folderLength == root.size() ? root : LongFolder(folderLength);
        const std::string target = folder + "\\app.dat";
        const std::string scratch = folder + "\\Kvtmpexp.dat";
        auto out = system.OpenFile(target, OpenMode::CreateOrTruncate);
        ASSERT_TRUE(out) << target.size();
        std::unique_ptr<FileStream> stored;
        ASSERT_TRUE(ExpandEntry(system, scratch, stored, compressed, *out, "app.dat"));
        EXPECT_TRUE(out->Close());
        EXPECT_TRUE(stored->Close());
        EXPECT_TRUE(system.RemoveFile(scratch));
        EXPECT_EQ(ReadBytes(target), original) << "path of " << target.size() << " characters";
    }
}

TEST_F(Win32SystemTest, LzExpansionBetweenOpenFilesFillsAndStampsTheTarget) {
    constexpr FileTime kStamp = 0x01BE4BB0687E0850ull;  // 1999-01-29 17:54:25.237 UTC
    const auto original = SampleData(70'000);
    const std::vector<std::uint8_t> plain{'n', 'o', 't', ' ', 'S', 'Z', 'D', 'D'};
    const std::string scratch = root + "\\Kvtmpexp.dat";
    // One scratch file serves both entries: the expansion leaves it open.
    auto in = system.OpenFile(scratch, OpenMode::Scratch);
    ASSERT_TRUE(in);
    for (const auto& [stored, expected] :
         {std::pair{archive::szdd::Compress(original), original}, std::pair{plain, plain}}) {
        const std::string target = root + "\\target.bin";
        auto out = system.OpenFile(target, OpenMode::CreateOrTruncate);
        ASSERT_TRUE(out);
        ASSERT_TRUE(in->Truncate(0));
        ASSERT_EQ(in->Write(stored), stored.size());
        ASSERT_TRUE(system.LzExpandInto(*in, *out));
        EXPECT_TRUE(out->SetTimes(kStamp));
        EXPECT_TRUE(out->Close());
        // Times before content: reading may move the last-access time on.
        EXPECT_EQ(system.GetCreationTime(target), kStamp);
        EXPECT_EQ(ReadBytes(target), expected);
    }
    EXPECT_TRUE(in->Close());
    // A scratch file opened again is a new, empty one.
    auto again = system.OpenFile(scratch, OpenMode::Scratch);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->Close());
    EXPECT_TRUE(ReadBytes(scratch).empty());
    // A hard link under the scratch name is replaced, not written through.
    const std::string outside = root + "\\outside.txt";
    WriteBytes(outside, plain);
    ASSERT_TRUE(system.RemoveFile(scratch));
    ASSERT_TRUE(CreateHardLinkA(scratch.c_str(), outside.c_str(), nullptr));
    auto fresh = system.OpenFile(scratch, OpenMode::Scratch);
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->Write(original), original.size());
    EXPECT_TRUE(fresh->Close());
    EXPECT_EQ(ReadBytes(outside), plain);
    EXPECT_TRUE(system.RemoveFile(scratch));
}

TEST_F(Win32SystemTest, ProfileStringsFollowTheProfileFunctions) {
    const std::string ini = root + "\\test.ini";
    std::string value;
    EXPECT_EQ(system.ReadProfileString("Main", "Key", value, ini), 0u);
    EXPECT_EQ(system.ReadProfileInt("Main", "Number", -99, ini), -99);
    EXPECT_TRUE(system.WriteProfileValue("Main", "Key", "C:\\App", ini));
    EXPECT_TRUE(system.WriteProfileValue("Main", "Number", "42", ini));
    EXPECT_TRUE(system.WriteProfileValue("Main", "Empty", "", ini));
    EXPECT_EQ(system.ReadProfileString("Main", "Key", value, ini), 6u);
    EXPECT_EQ(value, "C:\\App");
    EXPECT_EQ(system.ReadProfileString("Main", "Empty", value, ini), 0u);
    EXPECT_EQ(system.ReadProfileInt("Main", "Number", -99, ini), 42);

    // The settings step against real profile files, with this folder standing in for Windows.
    ApplySettings(system,
                  {{"app.ini", "Paths", "Data", "$INSTALL\\data", 0},
                   {"app.ini", "Paths", "Data", "second", 0},
                   {"app.ini", "Paths", "Count", "$INSTALL", 1}},
                  root, "C:\\Program Files\\App");
    char buffer[MAX_PATH] = {};
    GetPrivateProfileStringA("Paths", "Data", "", buffer, MAX_PATH, (root + "\\app.ini").c_str());
    EXPECT_STREQ(buffer, "C:\\Program Files\\App\\data");
    GetPrivateProfileStringA("Paths", "Count", "", buffer, MAX_PATH, (root + "\\app.ini").c_str());
    EXPECT_STREQ(buffer, "$INSTALL");
}

TEST_F(Win32SystemTest, RegistrationValuesAreStoredWithTheirTypesAndZero) {
    const std::string name = "Korvalin engine test " + std::to_string(GetCurrentProcessId());
    uninstall::UninstallEntry entry{"C:\\windows", "C:\\Program Files\\App", name, 5000,
                                    "C:\\Program Files\\App\\A%B%.EXE"};
    EXPECT_TRUE(uninstall::RegisterUninstall(system, entry).Registered());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, uninstall::UninstallKeyPath(name).c_str(), &key), ERROR_SUCCESS);
    struct Expected {
        const char* value;
        DWORD type;
        std::string data;
    };
    const std::string command = "C:\\windows\\Kvuninstall.exe \"C:\\Program Files\\App|" + name + "\"";
    for (const Expected& expected :
         {Expected{"DisplayName", REG_EXPAND_SZ, name}, Expected{"UninstallString", REG_SZ, command},
          Expected{"QuietUninstallString", REG_SZ, command + " /S"}, Expected{"InstallLocation", REG_SZ, entry.folder},
          Expected{"DisplayIcon", REG_SZ, *entry.displayIcon}}) {
        DWORD type = 0;
        char data[512] = {};
        DWORD size = sizeof data;
        ASSERT_EQ(RegQueryValueExA(key, expected.value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, expected.type) << expected.value;
        EXPECT_EQ(size, expected.data.size() + 1) << expected.value;
        EXPECT_EQ(std::string(data), expected.data);
    }
    for (const auto& [value, number] : {std::pair{"EstimatedSize", 5u}, {"NoModify", 1u}, {"NoRepair", 1u}}) {
        DWORD type = 0;
        DWORD data = 0;
        DWORD size = sizeof data;
        ASSERT_EQ(RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << value;
        EXPECT_EQ(data, number) << value;
    }
    // Today's date as the local clock has it.
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16] = {};
    DWORD size = sizeof date;
    ASSERT_EQ(RegQueryValueExA(key, "InstallDate", nullptr, nullptr, reinterpret_cast<BYTE*>(date), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(date), uninstall::InstallDateText({today.wYear, today.wMonth, today.wDay}));
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, uninstall::UninstallKeyPath(name).c_str());
}

TEST_F(Win32SystemTest, ShellLinkIsSavedAndReadsBackThroughTheShell) {
    const std::string link = root + "\\Notes 1.lnk";
    ASSERT_TRUE(system.SaveShellLink(link, "C:\\windows\\notepad.exe", "Notes 1.2", "-x readme.txt", "C:\\windows"));

    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    IShellLinkA* shellLink = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                           reinterpret_cast<void**>(&shellLink))));
    IPersistFile* file = nullptr;
    ASSERT_TRUE(SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
    wchar_t wide[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Load(wide, STGM_READ)));
    char text[MAX_PATH] = {};
    shellLink->GetPath(text, MAX_PATH, nullptr, 0);
    EXPECT_STRCASEEQ(text, "C:\\windows\\notepad.exe");
    shellLink->GetArguments(text, MAX_PATH);
    EXPECT_STREQ(text, "-x readme.txt");
    shellLink->GetWorkingDirectory(text, MAX_PATH);
    EXPECT_STREQ(text, "C:\\windows");
    shellLink->GetDescription(text, MAX_PATH);
    EXPECT_STREQ(text, "Notes 1.2");
    file->Release();
    shellLink->Release();
    CoUninitialize();
}

TEST_F(Win32SystemTest, ShortcutsLandOnTheDesktopAndInAProgramsSubfolder) {
    const auto desktop = system.SpecialFolderPath(SpecialFolder::Desktop);
    const auto programs = system.SpecialFolderPath(SpecialFolder::Programs);
    ASSERT_TRUE(desktop && programs);
    const std::string caption = "Kv engine test " + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::string menu = "Kv engine test menu";
    const std::string notepad = "C:\\windows\\notepad.exe";
    EXPECT_TRUE(CreateShortcut(system, ShortcutPlace::Desktop, "", notepad, caption, "C:\\windows", ""));
    EXPECT_TRUE(CreateShortcut(system, ShortcutPlace::ProgramsMenu, menu, notepad, caption, "C:\\windows", ""));
    const std::string name = archive::ShortcutFileName(caption);
    EXPECT_TRUE(system.Exists(*desktop + "\\" + name));
    EXPECT_TRUE(system.Exists(*programs + "\\" + menu + "\\" + name));
    EXPECT_FALSE(
        CreateShortcut(system, ShortcutPlace::ProgramsMenu, "missing level\\two", notepad, caption, "C:\\", ""));
    DeleteFileA((*desktop + "\\" + name).c_str());
    DeleteFileA((*programs + "\\" + menu + "\\" + name).c_str());
    RemoveDirectoryA((*programs + "\\" + menu).c_str());
}

TEST_F(Win32SystemTest, FileTimesAreSetAndReadBack) {
    const std::string path = root + "\\stamped.txt";
    WriteBytes(path, {1, 2, 3});
    constexpr FileTime kStamp = 0x01BE4BB0687E0850ull;  // 1999-01-29 17:54:25.237 UTC
    EXPECT_EQ(system.SetFileTimes(path, kStamp), SetTimesResult::Done);
    EXPECT_EQ(system.GetCreationTime(path), kStamp);
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    FILETIME created, accessed, written;
    ASSERT_TRUE(GetFileTime(handle, &created, &accessed, &written));
    EXPECT_EQ(ToFileTime(created), kStamp);
    EXPECT_EQ(ToFileTime(accessed), kStamp);
    EXPECT_EQ(ToFileTime(written), kStamp);
    // Held open by someone else: neither can be opened, as for a program that is running.
    EXPECT_EQ(system.SetFileTimes(path, kStamp), SetTimesResult::OpenFailed);
    EXPECT_FALSE(system.GetCreationTime(path).has_value());
    CloseHandle(handle);
    EXPECT_EQ(system.SetFileTimes(root + "\\missing.txt", kStamp), SetTimesResult::OpenFailed);
}

TEST_F(Win32SystemTest, FilesAndFoldersBehaveAsTheRunExpects) {
    EXPECT_TRUE(system.IsDirectory(root));
    EXPECT_TRUE(system.IsDirectory(root + "\\"));
    EXPECT_EQ(CreateFolderPath(system, (root + "\\a\\b\\c").c_str()), 1);
    EXPECT_EQ(CreateFolderPath(system, (root + "\\a\\").c_str()), 1);
    EXPECT_EQ(CreateFolderPath(system, "C:\\"), 1);
    EXPECT_EQ(CreateFolderPath(system, (root + "\\x\\\\y").c_str()), 0);
    auto stream = system.OpenFile(root + "\\a\\f.bin", OpenMode::CreateOrTruncate);
    ASSERT_TRUE(stream);
    const std::uint8_t bytes[] = {9, 8, 7};
    EXPECT_EQ(stream->Write(bytes), 3u);
    EXPECT_TRUE(stream->Close());
    std::uint32_t error = 0;
    EXPECT_TRUE(system.CopyFileOver(root + "\\a\\f.bin", root + "\\a\\g.bin", error));
    EXPECT_FALSE(system.CopyFileOver(root + "\\a\\none.bin", root + "\\a\\h.bin", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    auto data = system.OpenFile(root + "\\a\\g.bin", OpenMode::ReadWriteOrCreate);
    ASSERT_TRUE(data);
    std::uint8_t back[8] = {};
    EXPECT_EQ(data->Read(back), 3u);
    EXPECT_TRUE(data->SeekToEnd());
    EXPECT_EQ(data->Write(bytes), 3u);
    EXPECT_TRUE(data->Truncate(4));  // cut back, then appended to at the new end
    EXPECT_EQ(data->Write(bytes), 3u);
    data->Close();
    EXPECT_EQ(ReadBytes(root + "\\a\\g.bin"), (std::vector<std::uint8_t>{9, 8, 7, 9, 9, 8, 7}));
    // A second name of a file outside: the data file refuses it, a copy replaces it.
    const std::string outside = root + "\\outside.bin";
    const std::vector<std::uint8_t> theirs{1, 2};
    WriteBytes(outside, theirs);
    const std::string linked = root + "\\a\\linked.bin";
    ASSERT_TRUE(CreateHardLinkA(linked.c_str(), outside.c_str(), nullptr));
    EXPECT_TRUE(system.IsLink(linked));
    EXPECT_FALSE(system.IsLink(root + "\\a\\g.bin"));
    EXPECT_FALSE(system.OpenFile(linked, OpenMode::ReadWriteOrCreate));
    EXPECT_TRUE(system.CopyFileOver(root + "\\a\\f.bin", linked, error));
    EXPECT_EQ(ReadBytes(outside), theirs);
    EXPECT_EQ(ReadBytes(linked), (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_FALSE(system.IsLink(linked));
    EXPECT_FALSE(system.WindowsDirectory().empty());
    // A drive-relative folder resolves against that drive's current directory.
    const std::string before = system.CurrentDirectory();
    ASSERT_TRUE(system.ChangeDirectory(root + "\\a"));
    const std::string drive = root.substr(0, 2);
    EXPECT_EQ(system.FullPathName(drive), root + "\\a");
    EXPECT_EQ(system.FullPathName(drive + "b\\c"), root + "\\a\\b\\c");
    system.ChangeDirectory(before);
}

}  // namespace
}  // namespace kv::install

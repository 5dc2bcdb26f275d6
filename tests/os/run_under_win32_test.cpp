// A whole installation run on the real Win32 services (without the dialog): SZDD entries expanded
// by the platform, times, profile, data file, shortcut and registration, all in a temporary folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "archive/szdd.h"
#include "install/installation_run.h"
#include "os/win32_system.h"
#include "uninstall/log_format.h"
#include "uninstall/registration.h"

namespace kv::install {
namespace {

using namespace os;  // the seam's types and the fake system

// The real services, with the Windows directory moved into the test's folder.
class TestSystem : public Win32System {
public:
    std::string m_windows;
    std::string WindowsDirectory() override { return m_windows; }
};

// The run's window without a window: questions are answered No and kept with the warnings.
class QuietUi : public RunUi {
public:
    std::string m_folder;
    std::vector<std::string> m_messages;
    std::string ReadFolderText() override { return m_folder; }
    void DisableControls() override {}
    void StepProgress(int) override {}
    bool ShowLicense(const std::string&) override { return true; }
    bool AskYesNo(const std::string& text, const std::string&) override {
        m_messages.push_back(text);
        return false;
    }
    void ShowWarning(const std::string& text, const std::string&) override { m_messages.push_back(text); }
};

class MemoryEntries : public archive::ReadAtSource {
public:
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t Size() override { return m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        return archive::SpanSource(m_bytes).ReadAt(offset, into);
    }
};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return bytes;
    std::uint8_t buffer[4096];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    CloseHandle(handle);
    return bytes;
}

std::vector<std::uint8_t> Text(const std::string& text, std::size_t repeat) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < repeat; ++i) bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

TEST(RunUnderWin32, InstallsSzddEntriesWithTimesLogShortcutAndRegistration) {
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    const std::string root = std::string(temp) + "kv-engine-run-" + std::to_string(GetCurrentProcessId());
    TestSystem system;
    system.m_windows = root + "\\windows";
    ASSERT_EQ(CreateFolderPath(system, system.m_windows.c_str()), 1);
    ASSERT_EQ(CreateFolderPath(system, (root + "\\downloads").c_str()), 1);
    {
        auto installer = system.OpenFile(root + "\\downloads\\INSTALL.EXE", OpenMode::CreateOrTruncate);
        const auto bytes = Text("installer image ", 10);
        installer->Write(bytes);
    }

    const auto uninstaller = Text("uninstaller program ", 50);
    const auto program = Text("the application, compressed by the archive builder. ", 200);
    const auto help = Text("help ", 3);
    archive::Manifest manifest;
    manifest.title = "Engine Test";
    manifest.displayName = "Korvalin engine run " + std::to_string(GetCurrentProcessId());
    manifest.setupName = "setup.exe";
    manifest.runFile = "APP.EXE";
    manifest.programsFolder = "Kv engine run";
    manifest.archiveDate = 0x01BE4BB0687E0850ull;
    manifest.uninstallerDate = 0x01BE4BB000000000ull;
    manifest.settings.push_back({"app.ini", "Main", "Dir", "$INSTALL\\data", 0});
    MemoryEntries entries;
    entries.m_bytes = Text("MZ", 100);
    auto add = [&](const std::string& file, const std::string& folder, const std::vector<std::uint8_t>& content) {
        const auto stored = archive::szdd::Compress(content);
        archive::FileRecord record;
        record.file = file;
        record.folder = folder;
        record.offset = static_cast<std::uint32_t>(entries.m_bytes.size());
        record.length = static_cast<std::uint32_t>(stored.size());
        entries.m_bytes.insert(entries.m_bytes.end(), stored.begin(), stored.end());
        manifest.files.push_back(record);
        return manifest.files.size() - 1;
    };
    add("Kvuninstall.exe", "", uninstaller);
    const auto app = add("APP.EXE", "", program);
    manifest.files[app].desktopIcon = 1;
    manifest.files[app].iconName = "Kv engine run " + std::to_string(GetCurrentProcessId());
    add("help.txt", "doc", help);

    RunState state;
    state.manifest = &manifest;
    state.title = manifest.title;
    state.windowsDirectory = system.m_windows;
    state.startupDirectory = root + "\\downloads";
    state.archivePath = root + "\\downloads\\INSTALL.EXE";
    state.commandLine = "OptNP";
    state.entries = &entries;
    QuietUi ui;
    ui.m_folder = root + "\\Program Files\\App";

    char previous[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previous);
    const RunResult result = RunInstallation(state, system, ui, true);
    SetCurrentDirectoryA(previous);
    EXPECT_EQ(result.outcome, RunOutcome::Completed);
    EXPECT_TRUE(ui.m_messages.empty()) << ui.m_messages.front();

    const std::string folder = ui.m_folder;
    EXPECT_EQ(ReadAll(system.m_windows + "\\Kvuninstall.exe"), uninstaller);
    EXPECT_EQ(ReadAll(folder + "\\APP.EXE"), program);
    EXPECT_EQ(ReadAll(folder + "\\doc\\help.txt"), help);
    EXPECT_EQ(system.GetCreationTime(system.m_windows + "\\Kvuninstall.exe"), manifest.uninstallerDate);
    EXPECT_EQ(system.GetCreationTime(folder + "\\APP.EXE"), manifest.archiveDate);
    EXPECT_EQ(system.GetCreationTime(folder + "\\setup.exe"), manifest.archiveDate);
    EXPECT_FALSE(system.Exists(folder + "\\Kvtmpexp.dat"));

    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("Main", "Dir", "", value, MAX_PATH, (system.m_windows + "\\app.ini").c_str());
    EXPECT_EQ(std::string(value), folder + "\\data");

    const auto decoded = uninstall::DecodeRecords(ReadAll(folder + "\\Kvuninstall.dat"));
    EXPECT_FALSE(decoded.truncated);
    std::vector<std::string> records;
    for (const auto& record : decoded.records) records.push_back(uninstall::DescribeRecord(record));
    EXPECT_EQ(records, (std::vector<std::string>{
                           "product \"" + manifest.displayName + "\"", "file \"" + folder + "\\APP.EXE\"",
                           "shortcut desktop \"" + manifest.files[app].iconName + "\"",
                           "file \"" + folder + "\\doc\\help.txt\"", "file \"" + folder + "\\setup.exe\""}));

    const auto desktop = system.SpecialFolderPath(SpecialFolder::Desktop);
    ASSERT_TRUE(desktop);
    const std::string link = *desktop + "\\" + manifest.files[app].iconName + ".lnk";
    EXPECT_TRUE(system.Exists(link));
    DeleteFileA(link.c_str());

    HKEY key = nullptr;
    const std::string keyPath = uninstall::UninstallKeyPath(manifest.displayName);
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str(), &key), ERROR_SUCCESS);
    char data[512] = {};
    DWORD size = sizeof data;
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "UninstallString", nullptr, &type, reinterpret_cast<BYTE*>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(data),
              system.m_windows + "\\Kvuninstall.exe \"" + folder + "|" + manifest.displayName + "\"");
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

}  // namespace
}  // namespace kv::install

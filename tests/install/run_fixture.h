// A ready-made installer for run tests: a manifest whose entries lie in a fake installer file,
// a fake system with a C: drive and a fake run window.
#pragma once

#include <string>
#include <vector>

#include "archive/format.h"
#include "fake_ui.h"

namespace kv::install::testing {

using os::testing::FakeSystem;
using namespace os;

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

struct RunFixture {
    FakeSystem system;
    FakeUi ui{system};
    FakeEntries entries;
    archive::Manifest manifest;
    RunState state;

    static constexpr FileTime kArchiveDate = 0x01BE4BB0687E0850ull;
    static constexpr FileTime kUninstallerDate = 0x01BE4BB000000000ull;

    RunFixture() {
        manifest.title = "My Product";
        manifest.displayName = "My Product 1.0";
        manifest.setupName = "setup.exe";
        manifest.defaultFolder = "C:\\App";
        manifest.runFile = "APP.EXE";
        manifest.programsFolder = "Grp";
        manifest.archiveDate = kArchiveDate;
        manifest.uninstallerDate = kUninstallerDate;
        entries.m_bytes = Bytes("MZ-program-image;");  // the program image before the entries
        state.manifest = &manifest;
        state.title = manifest.title;
        state.windowsDirectory = "C:\\WINDOWS";
        state.startupDirectory = "C:\\Downloads";
        state.archivePath = "C:\\Downloads\\INSTALL.EXE";
        state.commandLine = "";
        state.entries = &entries;
        system.AddFile("C:\\Downloads\\INSTALL.EXE", Bytes("the installer"));
    }

    // Appends an entry to the installer file and a record for it to the manifest.
    archive::FileRecord& AddRecord(const std::string& file, const std::string& folder, const std::string& content) {
        archive::FileRecord record;
        record.file = file;
        record.folder = folder;
        record.offset = static_cast<std::uint32_t>(entries.m_bytes.size());
        record.length = static_cast<std::uint32_t>(content.size());
        entries.m_bytes.insert(entries.m_bytes.end(), content.begin(), content.end());
        manifest.files.push_back(record);
        return manifest.files.back();
    }

    // The usual archive: the uninstaller, then the program with a Desktop shortcut.
    void AddStandardRecords() {
        AddRecord("Kvuninstall.exe", "", "uninstaller");
        auto& app = AddRecord("APP.EXE", "", "application");
        app.desktopIcon = 1;
        app.iconName = "My App";
    }

    // Runs the installation; the whole result stays in `result`.
    RunOutcome Install(bool fromInstallNow = true) {
        result = RunInstallation(state, system, ui, fromInstallNow);
        return result.outcome;
    }
    RunResult result;
};

}  // namespace kv::install::testing

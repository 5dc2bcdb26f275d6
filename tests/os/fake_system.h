// An in-memory System for native tests: a small Windows-like file tree with drives, profile files,
// a registry and shell links, which records every call and can fail any of them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/run_log.h"
#include "os/system.h"

namespace kv::os::testing {

class FakeSystem : public System {
public:
    struct Node {
        bool directory = false;
        std::vector<std::uint8_t> bytes;
        FileTime created = 0;
        FileTime accessed = 0;
        FileTime written = 0;
        bool locked = false;  // held open by another program: no open succeeds
        bool link = false;    // a link planted under this name: IsLink says so, the data file refuses it
    };
    struct Link {
        std::string target, description, arguments, workingDirectory;
    };
    struct Start {
        std::string file, parameters, workingDirectory;
    };

    FakeSystem();

    // Makes the next `times` calls (all, when negative) of `call` whose first path argument contains
    // `pathPart` (any, when empty) fail. Calls: MakeDirectory, OpenFile, Write (writes half),
    // Close, SetTimes (of an open file), RemoveFile, RenameFile, CopyFileOver, GetCreationTime,
    // SetFileTimes.Open, SetFileTimes, ChangeDirectory, FullPathName, Truncate, WriteProfileValue,
    // CreateMachineKey, SetExpandString, SetString, SetDword (these three matched on the value name),
    // LzExpand (matched on the destination path), SpecialFolderPath, SaveShellLink, ShellOpen.
    void FailOn(const std::string& call, const std::string& pathPart = "", int times = -1);

    // Tree helpers. Paths may be relative to the current directory.
    void AddDirectory(const std::string& path);
    void AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes, FileTime created = 0);
    bool IsFile(const std::string& path);
    std::optional<std::vector<std::uint8_t>> FileBytes(const std::string& path);
    Node* Find(const std::string& path);
    std::string Key(const std::string& path) const;  // normalised, lower-case
    int CountCalls(const std::string& prefix) const;

    // System
    bool MakeDirectory(const std::string& path) override;
    bool Exists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    bool IsLink(const std::string& path) override;
    std::unique_ptr<FileStream> OpenFile(const std::string& path, OpenMode mode) override;
    bool RemoveFile(const std::string& path) override;
    bool RenameFile(const std::string& from, const std::string& to) override;
    bool CopyFileOver(const std::string& from, const std::string& to, std::uint32_t& error) override;
    std::optional<FileTime> GetCreationTime(const std::string& path) override;
    SetTimesResult SetFileTimes(const std::string& path, FileTime time) override;
    bool ChangeDirectory(const std::string& path) override;
    std::string CurrentDirectory() override { return m_cwd; }
    std::optional<std::string> FullPathName(const std::string& path) override;
    std::string WindowsDirectory() override { return m_windowsDirectory; }
    std::size_t ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                                  const std::string& path) override;
    int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                       const std::string& path) override;
    bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                           const std::string& path) override;
    std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) override;
    bool LzExpandInto(FileStream& source, FileStream& destination) override;
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;
    bool SaveShellLink(const std::string& linkPath, const std::string& target, const std::string& description,
                       const std::string& arguments, const std::string& workingDirectory) override;
    bool ShellOpen(const std::string& file, const std::string& parameters,
                   const std::string& workingDirectory) override;
    void Sleep(unsigned milliseconds) override;
    FileTime SystemTimeAsFileTime() override { return m_now; }
    CalendarDate LocalDate() override { return m_today; }
    std::optional<std::string> OwnText(unsigned id) override {
        const auto it = m_ownTexts.find(id);
        return it == m_ownTexts.end() ? std::nullopt : std::optional<std::string>(it->second);
    }

    bool ShouldFail(const std::string& call, const std::string& path);
    void Record(const std::string& call) { m_calls.push_back(call); }

    std::vector<std::string> m_calls;
    std::map<std::string, Node> m_nodes;  // by Key()
    std::vector<std::string> m_drives{"c:"};
    std::string m_cwd = "C:\\";
    std::string m_windowsDirectory = "C:\\WINDOWS";
    std::string m_desktop = "C:\\Users\\me\\Desktop";
    std::string m_programs = "C:\\Users\\me\\Start Menu\\Programs";
    FileTime m_now = 0x01DA000000000000ull;
    CalendarDate m_today{2026, 12, 7};
    // Profile files by Key(path): section -> key -> value (sections and keys compared as given).
    std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> m_profiles;
    // Key path -> name -> value, a REG_DWORD in decimal; and the value's type ("REG_SZ", ...).
    std::map<std::string, std::map<std::string, std::string>> m_registry;
    std::map<std::string, std::map<std::string, std::string>> m_registryTypes;
    std::map<std::string, Link> m_links;  // by Key(link path)
    std::vector<Start> m_starts;
    std::vector<unsigned> m_sleeps;
    std::map<unsigned, std::string> m_ownTexts;  // the program's string table

private:
    struct Rule {
        std::string call;
        std::string pathPart;
        int remaining;
    };
    std::string Parent(const std::string& key) const;
    // `path` made absolute as Windows resolves it, "C:Apps" against C:'s current directory.
    std::string Absolute(const std::string& path) const;
    std::vector<Rule> m_rules;
};

// A run log kept in memory, one string per line, without the time.
class FakeRunLog : public RunLog {
public:
    using RunLog::Line;
    void Write(std::initializer_list<std::string_view> parts) override {
        m_lines.emplace_back();
        for (const auto part : parts) m_lines.back() += part;
    }
    // Whether some line is exactly `line`.
    bool Has(std::string_view line) const {
        for (const auto& l : m_lines)
            if (l == line) return true;
        return false;
    }
    std::vector<std::string> m_lines;
};

}  // namespace kv::os::testing

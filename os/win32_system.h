// The product's System: the installation engine's services over the Win32 API.
#pragma once

#include <windows.h>

#include <memory>

#include "os/system.h"

namespace kv::os {

class Win32System : public System {
public:
    // `owner` is the window that starts programs (ShellExecute's owner); it may be set later, once
    // the dialog's window exists.
    explicit Win32System(HWND owner = nullptr) : m_hOwner(owner) {}
    ~Win32System() override;
    Win32System(const Win32System&) = delete;
    Win32System& operator=(const Win32System&) = delete;
    void SetOwner(HWND owner) { m_hOwner = owner; }

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
    std::string CurrentDirectory() override;
    std::optional<std::string> FullPathName(const std::string& path) override;
    std::string WindowsDirectory() override;
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
    FileTime SystemTimeAsFileTime() override;
    CalendarDate LocalDate() override;
    std::optional<std::string> OwnText(unsigned id) override;

private:
    static constexpr std::size_t kExpandPieceBytes = 1 << 20;

    // The component library on this thread, started on first need (a shell link, a program
    // started) and kept until this object ends: Wine takes about a quarter of a second to start
    // it, which a quiet run with no shortcut never pays.
    void StartCom();

    HWND m_hOwner;
    bool m_comStarted = false;
    std::unique_ptr<char[]> m_expandPiece;  // LzExpandInto's buffer, kept for the next file
};

// FILETIME <-> one 64-bit number.
FileTime ToFileTime(const FILETIME& time);
FILETIME ToFILETIME(FileTime time);

// Creates `path` as a new file with `access` and `share` (none by default: nobody else reads the file
// meanwhile), never through what has the name
// already: an existing file, hard link or symbolic link of that name is deleted first (the entry
// itself, never what a link leads to). For scratch and replacement files in folders that other users
// may write to. INVALID_HANDLE_VALUE when the name cannot be freed that way or is taken again before
// the creation: the caller refuses rather than write through it.
HANDLE CreateFreshFile(const std::string& path, DWORD access, DWORD share = 0);

// `path` created new, or else its existing entry when that is its own file (IsOwnEntry); never what
// a link of that name leads to. INVALID_HANDLE_VALUE otherwise.
HANDLE OpenOwnFile(const std::string& path, DWORD access, DWORD share);

// The path an open handle really refers to, every link on the way followed, without the "\\?\"
// prefix; empty when unknown.
std::string FinalPath(HANDLE handle);

// Whether `file`, opened by `path`, is the folder entry of that name itself and nothing else: not
// what a link of that name leads to, not a reparse point, and (a file) with no second name elsewhere.
// `file` must have been opened with FILE_READ_ATTRIBUTES.
bool IsOwnEntry(HANDLE file, const std::string& path);

// Whether an entry named `path` exists and is not such an entry of its own: a symbolic link, a
// junction, a file with another name elsewhere, or a link that leads nowhere.
bool IsLinkedName(const std::string& path);

}  // namespace kv::os

// The one seam between the installation engine and the operating system: every file, profile,
// registry and shell service that a run needs. Windows and messages are not here: the run asks
// its window through install::RunUi. Win32System is the product's
// implementation; the native tests use a fake that records calls and can fail any of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace kv::os {

// 100-nanosecond intervals since 1601-01-01 00:00 UTC (a Windows FILETIME as one number).
using FileTime = std::uint64_t;

// An open file, positioned at its start after opening. Closing happens on destruction too.
class FileStream {
public:
    virtual ~FileStream() = default;
    // Bytes actually read (0 at the end of the file or on error).
    virtual std::size_t Read(std::span<std::uint8_t> into) = 0;
    // Bytes actually written; fewer than asked means the write failed.
    virtual std::size_t Write(std::span<const std::uint8_t> bytes) = 0;
    virtual bool SeekToEnd() = 0;
    // Cuts the file to its first `size` bytes; the position is then its end.
    virtual bool Truncate(std::size_t size) = 0;
    // Sets the file's creation, last-access and last-write times to `time`.
    virtual bool SetTimes(FileTime time) = 0;
    // Flushes and closes; false when buffered bytes could not be written.
    virtual bool Close() = 0;
};

// A registry key open for setting values.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Sets a REG_EXPAND_SZ value whose byte count includes the terminating zero.
    virtual bool SetExpandString(const std::string& name, const std::string& value) = 0;
    // Sets a REG_SZ value, likewise with the terminating zero counted: for texts such as paths,
    // whose percent signs must not be read as environment variables.
    virtual bool SetString(const std::string& name, const std::string& value) = 0;
    virtual bool SetDword(const std::string& name, std::uint32_t value) = 0;
};

// A day of the local calendar.
struct CalendarDate {
    int year = 0;
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
};

enum class OpenMode {
    CreateOrTruncate,   // raw bytes for writing in an empty file: a file of its own of that name is emptied,
                        // anything else (a link, a second name of another file) replaced, never written through
    ReadWriteOrCreate,  // raw bytes for reading and writing; created empty when missing, and an existing
                        // entry is opened only when it is a file of its own (see IsLink); null otherwise
    Scratch,            // raw bytes for reading and writing in a new file: whatever had the name (a file,
                        // a hard or symbolic link) is removed first, never written through
};

enum class SpecialFolder {
    Desktop,   // the current user's desktop directory
    Programs,  // the current user's Start menu Programs folder
};

enum class SetTimesResult {
    Done,
    OpenFailed,  // the file could not be opened (missing, or in use)
    SetFailed,   // opened, but the times were refused
};

class System {
public:
    virtual ~System() = default;

    // Files and folders. Paths are 8-bit ANSI strings, relative ones to the current directory.
    // (Member names avoid the Win32 API's A/W macros, so this header mixes with <windows.h>.)
    virtual bool MakeDirectory(const std::string& path) = 0;  // one level; false when it fails or exists
    virtual bool Exists(const std::string& path) = 0;         // a file or a folder of that name
    virtual bool IsDirectory(const std::string& path) = 0;
    // Whether an entry of that name exists and is not a plain file or folder of its own: a symbolic
    // link, a junction, a file that has another name elsewhere, a link that leads nowhere.
    virtual bool IsLink(const std::string& path) = 0;
    virtual std::unique_ptr<FileStream> OpenFile(const std::string& path, OpenMode mode) = 0;  // null on failure
    virtual bool RemoveFile(const std::string& path) = 0;
    virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
    // Copies over an existing destination. On failure returns false and sets `error` to the
    // operating system's last error code.
    virtual bool CopyFileOver(const std::string& from, const std::string& to, std::uint32_t& error) = 0;
    // Creation time of an existing file opened for reading without sharing; nothing when it cannot
    // be opened.
    virtual std::optional<FileTime> GetCreationTime(const std::string& path) = 0;
    // Opens an existing file for writing without sharing and sets its creation, last-access and
    // last-write times to `time`.
    virtual SetTimesResult SetFileTimes(const std::string& path, FileTime time) = 0;
    virtual bool ChangeDirectory(const std::string& path) = 0;
    virtual std::string CurrentDirectory() = 0;
    // The absolute form of `path` as Windows resolves it: a drive-relative "C:Apps" against that
    // drive's current directory. Nothing when it cannot be resolved within a path buffer.
    virtual std::optional<std::string> FullPathName(const std::string& path) = 0;
    virtual std::string WindowsDirectory() = 0;

    // Profile (INI) files, with the semantics of the Windows profile functions: the count of
    // characters copied (0 when the file, section or key is missing or the value is empty); the
    // value as an integer or `defaultValue` when the key is missing; a write that creates the file,
    // section and key as needed.
    virtual std::size_t ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                                          const std::string& path) = 0;
    virtual int ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                               const std::string& path) = 0;
    virtual bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                                   const std::string& path) = 0;

    // Creates or opens a key under HKEY_LOCAL_MACHINE; null on failure.
    virtual std::unique_ptr<RegistryKey> CreateMachineKey(const std::string& path) = 0;

    // The LZ expansion service between two open files of this System: expands all of `source`,
    // from its start, into `destination` at its position, an SZDD-compressed source expanded and any
    // other copied unchanged. `source` stays open, so one scratch file serves many expansions. False
    // when the service reports an error.
    virtual bool LzExpandInto(FileStream& source, FileStream& destination) = 0;

    // Shell: the path of a special folder (nothing when the shell cannot tell), and the saving of a
    // shell link file at `linkPath` (replacing one of that name).
    virtual std::optional<std::string> SpecialFolderPath(SpecialFolder folder) = 0;
    virtual bool SaveShellLink(const std::string& linkPath, const std::string& target, const std::string& description,
                               const std::string& arguments, const std::string& workingDirectory) = 0;
    // Starts a program with the verb "open" and the default show command; false when the shell
    // could not start it (missing file, no association, refused).
    virtual bool ShellOpen(const std::string& file, const std::string& parameters,
                           const std::string& workingDirectory) = 0;

    // A text of the running program's own string table, in the ANSI code page; nothing when the
    // program carries none under `id`.
    virtual std::optional<std::string> OwnText(unsigned id) = 0;

    virtual void Sleep(unsigned milliseconds) = 0;
    virtual FileTime SystemTimeAsFileTime() = 0;
    // Today in the user's time zone.
    virtual CalendarDate LocalDate() = 0;
};

}  // namespace kv::os

// Files, times, profile strings, the registry, LZ expansion and the clock over Win32.
#include "os/win32_system.h"

#include "os/win32_lz.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <vector>

namespace kv::os {

namespace {

class Win32File : public FileStream {
public:
    explicit Win32File(HANDLE handle) : m_hFile(handle) {}
    ~Win32File() override { Close(); }

    std::size_t Read(std::span<std::uint8_t> into) override {
        DWORD got = 0;
        if (m_hFile == INVALID_HANDLE_VALUE || into.empty()) return 0;
        if (!ReadFile(m_hFile, into.data(), static_cast<DWORD>(into.size()), &got, nullptr)) return 0;
        return got;
    }
    std::size_t Write(std::span<const std::uint8_t> bytes) override {
        if (m_hFile == INVALID_HANDLE_VALUE) return 0;
        if (bytes.empty()) return 0;
        DWORD written = 0;
        if (!WriteFile(m_hFile, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return written;
        return written;
    }
    bool SeekToEnd() override {
        return m_hFile != INVALID_HANDLE_VALUE &&
               SetFilePointer(m_hFile, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
    }
    bool Truncate(std::size_t size) override {
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(size);
        return m_hFile != INVALID_HANDLE_VALUE && SetFilePointerEx(m_hFile, position, nullptr, FILE_BEGIN) &&
               SetEndOfFile(m_hFile);
    }
    bool SetTimes(FileTime time) override {
        const FILETIME stamp = ToFILETIME(time);
        return m_hFile != INVALID_HANDLE_VALUE && SetFileTime(m_hFile, &stamp, &stamp, &stamp) != FALSE;
    }
    bool Close() override {
        if (m_hFile == INVALID_HANDLE_VALUE) return true;
        const BOOL closed = CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

    HANDLE Handle() const { return m_hFile; }

private:
    HANDLE m_hFile;
};

class Win32Key : public RegistryKey {
public:
    explicit Win32Key(HKEY key) : m_hKey(key) {}
    ~Win32Key() override { RegCloseKey(m_hKey); }
    bool SetExpandString(const std::string& name, const std::string& value) override {
        return SetText(name, REG_EXPAND_SZ, value);
    }
    bool SetString(const std::string& name, const std::string& value) override { return SetText(name, REG_SZ, value); }
    bool SetDword(const std::string& name, std::uint32_t value) override {
        const DWORD data = value;
        return RegSetValueExA(m_hKey, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
               ERROR_SUCCESS;
    }

private:
    bool SetText(const std::string& name, DWORD type, const std::string& value) {
        // The byte count includes the terminating zero.
        return RegSetValueExA(m_hKey, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }

    HKEY m_hKey;
};

// An HFILE for the LZ functions from a handle opened by CreateFileA. LZOpenFile would go through an
// OFSTRUCT whose path holds only 128 characters; the LZ functions themselves take any file handle
// (an HFILE is the handle's value), so opening the files here serves paths up to MAX_PATH.
HFILE ToHfile(HANDLE handle) { return static_cast<HFILE>(reinterpret_cast<INT_PTR>(handle)); }

// Moves an open file over `path`, replacing a file of that name, through the file's own handle
// (which needs DELETE access). The rename takes a full NT path in UTF-16.
bool RenameOpenFile(HANDLE file, const std::string& path) {
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (wideLength <= 0) return false;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), wideLength);
    const DWORD fullLength = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (fullLength == 0) return false;
    std::wstring full(fullLength, L'\0');
    const DWORD written = GetFullPathNameW(wide.c_str(), fullLength, full.data(), nullptr);
    if (written == 0 || written >= fullLength) return false;
    full.resize(written);
    const std::wstring ntPath = L"\\??\\" + full;

    const DWORD nameBytes = static_cast<DWORD>(ntPath.size() * sizeof(WCHAR));
    std::vector<BYTE> buffer(offsetof(FILE_RENAME_INFO, FileName) + nameBytes + sizeof(WCHAR), 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = nameBytes;
    std::memcpy(info->FileName, ntPath.data(), nameBytes);
    return SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(buffer.size())) != FALSE;
}

// Copies the expansion of an LZ handle to `out`: LZRead into `piece`, each piece written in one
// call. LZCopy does the same job but, under Wine, writes 1000 bytes per call, which cost an eighth
// of the time of installing large files. False when the service or a write reports an error.
bool CopyExpanded(const LzService& lz, INT lzIn, HANDLE out, std::span<char> piece) {
    for (;;) {
        const INT got = lz.read(lzIn, piece.data(), static_cast<INT>(piece.size()));
        if (got < 0) return false;
        if (got == 0) return true;
        DWORD written = 0;
        if (!WriteFile(out, piece.data(), static_cast<DWORD>(got), &written, nullptr) ||
            written != static_cast<DWORD>(got))
            return false;
    }
}

}  // namespace

FileTime ToFileTime(const FILETIME& time) {
    return (static_cast<FileTime>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME ToFILETIME(FileTime time) {
    FILETIME result;
    result.dwLowDateTime = static_cast<DWORD>(time & 0xFFFFFFFFu);
    result.dwHighDateTime = static_cast<DWORD>(time >> 32);
    return result;
}

bool Win32System::MakeDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool Win32System::Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Win32System::IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The path an open handle really refers to, without the "\\?\" prefix; empty when unknown.
std::string FinalPath(HANDLE handle) {
    char buffer[2 * MAX_PATH] = {};
    const DWORD length = GetFinalPathNameByHandleA(handle, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof buffer) return {};
    std::string path(buffer, length);
    return path.rfind("\\\\?\\", 0) == 0 ? path.substr(4) : path;
}

// Whether `file`, opened by `path`, is the folder entry of that name itself rather than what a link
// of that name leads to: its final path must be its folder's final path and its own name. (Wine
// follows a symbolic link even when asked not to, and shows it as a plain file.)
static bool IsTheNamedEntry(HANDLE file, const std::string& path) {
    char full[MAX_PATH] = {};
    char* leaf = nullptr;
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, &leaf);
    if (length == 0 || length >= MAX_PATH || leaf == nullptr) return false;
    const std::string folderPath(full, static_cast<std::size_t>(leaf - full));
    HANDLE folder = CreateFileA(folderPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    std::string expected = FinalPath(folder);
    CloseHandle(folder);
    if (expected.empty()) return false;
    if (expected.back() != '\\') expected += '\\';
    expected += leaf;
    const std::string actual = FinalPath(file);
    return !actual.empty() && lstrcmpiA(actual.c_str(), expected.c_str()) == 0;
}

// The handle needs FILE_READ_ATTRIBUTES.
bool IsOwnEntry(HANDLE file, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return false;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && info.nNumberOfLinks != 1) return false;
    return IsTheNamedEntry(file, path);
}

bool IsLinkedName(const std::string& path) {
    // Windows marks links and junctions; Wine marks a linked folder but not a linked file.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    HANDLE entry =
        CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE) {
        // Nothing opens, yet the name is listed: a link that leads nowhere (Wine follows it).
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        FindClose(search);
        return attributes == INVALID_FILE_ATTRIBUTES;
    }
    const bool own = IsOwnEntry(entry, path);
    CloseHandle(entry);
    return !own;
}

HANDLE OpenOwnFile(const std::string& path, DWORD access, DWORD share) {
    // New, or else the existing entry opened without following a link and then checked: a link of
    // that name counts as taken, so CREATE_NEW never creates what it leads to.
    constexpr DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, CREATE_NEW, flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE) return handle;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
    handle = CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    if (IsOwnEntry(handle, path)) return handle;
    CloseHandle(handle);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
}

HANDLE CreateFreshFile(const std::string& path, DWORD access, DWORD share) {
    // With FILE_FLAG_OPEN_REPARSE_POINT a symbolic link of the name counts as taken: CREATE_NEW
    // fails on it instead of creating its target.
    const auto create = [&] {
        return CreateFileA(path.c_str(), access, share, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    };
    HANDLE handle = create();
    if (handle != INVALID_HANDLE_VALUE) return handle;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return INVALID_HANDLE_VALUE;
    // The name is taken: delete that entry through a handle of its own, which removes a hard or
    // symbolic link and not what it leads to.
    HANDLE existing = CreateFileA(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const DWORD openError = GetLastError();
    // Taken, yet nothing opens: a link that leads nowhere, which Wine follows. It is replaced below.
    const bool dangling =
        existing == INVALID_HANDLE_VALUE && (openError == ERROR_FILE_NOT_FOUND || openError == ERROR_PATH_NOT_FOUND);
    if (existing == INVALID_HANDLE_VALUE && !dangling) return INVALID_HANDLE_VALUE;
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool named = !dangling && IsTheNamedEntry(existing, path);
    const bool deleted = named && SetFileInformationByHandle(existing, FileDispositionInfo, &dispose, sizeof dispose);
    if (!dangling) CloseHandle(existing);
    if (deleted) return create();
    if (named) return INVALID_HANDLE_VALUE;
    // The handle led elsewhere: a symbolic link that the platform followed (Wine does). Deleting
    // through it would delete its target, so a new file made under a name of its own is moved over
    // the link instead, which replaces the link itself.
    for (unsigned attempt = 0; attempt < 8; ++attempt) {
        const std::string spare = path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        handle = CreateFileA(spare.c_str(), access | DELETE, share, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) continue;
        if (RenameOpenFile(handle, path) && IsTheNamedEntry(handle, path)) return handle;
        FILE_DISPOSITION_INFO discard{TRUE};
        SetFileInformationByHandle(handle, FileDispositionInfo, &discard, sizeof discard);
        CloseHandle(handle);
        break;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

namespace {
std::unique_ptr<FileStream> HandleStream(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(handle);
}
}  // namespace

std::unique_ptr<FileStream> Win32System::OpenFile(const std::string& path, OpenMode mode) {
    if (mode == OpenMode::Scratch) return HandleStream(CreateFreshFile(path, GENERIC_READ | GENERIC_WRITE));
    // The data file is appended to only when it is the folder's own file.
    if (mode == OpenMode::ReadWriteOrCreate)
        return HandleStream(OpenOwnFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ));
    // A target of its own is emptied in place (it keeps its entry, and so the spelling of its name);
    // anything else of that name, a link or a second name of another file, is replaced by a new file
    // rather than emptied through.
    HANDLE handle = OpenOwnFile(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ);
    if (handle == INVALID_HANDLE_VALUE) return HandleStream(CreateFreshFile(path, GENERIC_WRITE));
    auto file = std::make_unique<Win32File>(handle);
    if (!file->Truncate(0)) return nullptr;
    return file;
}

bool Win32System::IsLink(const std::string& path) { return IsLinkedName(path); }

// Through a handle of the entry itself: a link put in place of a scratch file is removed, what it leads
// to never (Wine follows the link, and then the entry is left alone).
bool Win32System::RemoveFile(const std::string& path) {
    HANDLE entry =
        CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry == INVALID_HANDLE_VALUE) return false;
    FILE_DISPOSITION_INFO dispose{TRUE};
    const bool removed = IsTheNamedEntry(entry, path) &&
                         SetFileInformationByHandle(entry, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
    CloseHandle(entry);
    return removed;
}

bool Win32System::RenameFile(const std::string& from, const std::string& to) {
    return MoveFileA(from.c_str(), to.c_str()) != FALSE;
}

// The copy is written to a file made anew (CreateFreshFile), so a link or second name planted at the
// destination is replaced, never written through.
bool Win32System::CopyFileOver(const std::string& from, const std::string& to, std::uint32_t& error) {
    HANDLE source = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (source == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    Win32File in(source);
    HANDLE destination = CreateFreshFile(to, GENERIC_WRITE);
    if (destination == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    Win32File out(destination);
    std::vector<std::uint8_t> piece(1 << 16);
    for (;;) {
        const std::size_t got = in.Read(piece);
        if (got == 0) break;
        if (out.Write({piece.data(), got}) != got) {
            error = GetLastError();
            return false;
        }
    }
    if (!out.Close()) {
        error = GetLastError();
        return false;
    }
    return true;
}

std::optional<FileTime> Win32System::GetCreationTime(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    FILETIME created;
    const BOOL ok = GetFileTime(handle, &created, nullptr, nullptr);
    CloseHandle(handle);
    if (!ok) return std::nullopt;
    return ToFileTime(created);
}

SetTimesResult Win32System::SetFileTimes(const std::string& path, FileTime time) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return SetTimesResult::OpenFailed;
    Win32File file(handle);
    // The times of what a link leads to are not this installation's to set.
    if (!IsOwnEntry(handle, path)) return SetTimesResult::OpenFailed;
    return file.SetTimes(time) ? SetTimesResult::Done : SetTimesResult::SetFailed;
}

bool Win32System::ChangeDirectory(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) != FALSE; }

std::string Win32System::CurrentDirectory() {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, buffer);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::optional<std::string> Win32System::FullPathName(const std::string& path) {
    char buffer[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    // A bare "C:" comes back with a trailing backslash on some systems; only a root keeps one.
    while (length > 3 && buffer[length - 1] == '\\') --length;
    return std::string(buffer, length);
}

std::string Win32System::WindowsDirectory() {
    char buffer[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

std::size_t Win32System::ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                                           const std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD copied = GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, MAX_PATH, path.c_str());
    value.assign(buffer, copied);
    return copied;
}

int Win32System::ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                                const std::string& path) {
    return static_cast<int>(GetPrivateProfileIntA(section.c_str(), key.c_str(), defaultValue, path.c_str()));
}

bool Win32System::WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                                    const std::string& path) {
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) != FALSE;
}

std::unique_ptr<RegistryKey> Win32System::CreateMachineKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, path.c_str(), &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(key);
}

bool Win32System::LzExpandInto(FileStream& source, FileStream& destination) {
    // Both streams come from OpenFile of this class.
    auto& from = static_cast<Win32File&>(source);
    auto& to = static_cast<Win32File&>(destination);
    const LzService* lz = Lz();
    if (lz == nullptr || from.Handle() == INVALID_HANDLE_VALUE || to.Handle() == INVALID_HANDLE_VALUE) return false;
    // One megabyte, allocated once and not cleared: a fresh zero-filled megabyte for every file cost
    // more than half the time of installing thousands of small files (Wine maps and unmaps each one).
    if (!m_expandPiece) m_expandPiece.reset(new (std::nothrow) char[kExpandPieceBytes]);
    if (!m_expandPiece) return false;
    if (SetFilePointer(from.Handle(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return false;
    // The service closes the handle it was given: it gets a duplicate, so the source stays open and
    // its name stays taken for the folder's next entry (creating a file anew costs Wine a search of
    // the whole folder, and an open file without sharing cannot be replaced meanwhile).
    HANDLE duplicate = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), from.Handle(), GetCurrentProcess(), &duplicate, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return false;
    const INT lzIn = lz->init(ToHfile(duplicate));
    if (lzIn < 0) {
        CloseHandle(duplicate);  // LZInit closes nothing when it fails
        return false;
    }
    const bool copied = CopyExpanded(*lz, lzIn, to.Handle(), {m_expandPiece.get(), kExpandPieceBytes});
    lz->close(lzIn);  // closes the duplicate
    return copied;
}

void Win32System::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

FileTime Win32System::SystemTimeAsFileTime() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ToFileTime(now);
}

CalendarDate Win32System::LocalDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay};
}

std::optional<std::string> Win32System::OwnText(unsigned id) {
    // With a zero buffer size LoadStringW hands out where the text lies in the loaded image.
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::nullopt;
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size <= 0 || WideCharToMultiByte(CP_ACP, 0, text, length, ansi.data(), size, nullptr, nullptr) != size)
        return std::nullopt;
    return ansi;
}

}  // namespace kv::os

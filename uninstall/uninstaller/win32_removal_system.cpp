// Removal services over Win32: whole-file reads, replacing writes, deletes that tell "missing"
// from "refused", empty-folder removal, the uninstall key and message boxes.
#include "uninstall/uninstaller/win32_removal_system.h"

#include "archive/ascii_case.h"

namespace kv::uninstall {

std::optional<std::vector<std::uint8_t>> Win32RemovalSystem::ReadWholeFile(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[16384];
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    if (!ok) return std::nullopt;
    return bytes;
}

bool Win32RemovalSystem::ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    const std::string temporary = ReplacementPath(path);
    // Created new, so a link left under the temporary name is never written through.
    const HANDLE file = os::CreateFreshFile(temporary, GENERIC_WRITE);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool wrote =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size());
    const bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    if (!wrote || !flushed ||
        !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return true;
}

namespace {

// An entry opened for deleting, without following a link at its own level.
class Entry {
public:
    explicit Entry(const std::string& path)
        : m_handle(CreateFileA(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)),
          m_error(GetLastError()) {}
    ~Entry() {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    bool Opened() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Missing() const { return m_error == ERROR_FILE_NOT_FOUND || m_error == ERROR_PATH_NOT_FOUND; }
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
    DWORD m_error;
};

// Whether the open `entry`, named `path`, is reached from the folder `within` through no link: its
// final path is `within`'s own final path followed by the rest of `path`, level by level. A link at
// any level below `within` (Wine follows one even at the last level) leads somewhere else. `within`
// itself is taken as named, a link or not: whoever named the folder chose it.
bool IsReachedWithin(HANDLE entry, std::string path, std::string within) {
    while (within.size() > 3 && within.back() == '\\') within.pop_back();
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    if (archive::EqualsIgnoringCase(path, within)) return true;
    if (path.size() <= within.size() || !archive::EqualsIgnoringCase(path.substr(0, within.size()), within))
        return false;
    std::string rest = path.substr(within.size());
    if (rest.front() != '\\') {
        if (within.back() != '\\') return false;
        rest.insert(rest.begin(), '\\');
    }
    HANDLE folder = CreateFileA(within.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE) return false;
    std::string expected = os::FinalPath(folder);
    CloseHandle(folder);
    if (expected.empty()) return false;
    while (!expected.empty() && expected.back() == '\\') expected.pop_back();
    expected += rest;
    const std::string actual = os::FinalPath(entry);
    return !actual.empty() && lstrcmpiA(actual.c_str(), expected.c_str()) == 0;
}

bool DeleteOnClose(HANDLE entry) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    return SetFileInformationByHandle(entry, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

}  // namespace

RemoveResult Win32RemovalSystem::RemoveFile(const std::string& path, const std::string& within) {
    Entry entry(path);
    if (!entry.Opened()) return entry.Missing() ? RemoveResult::Missing : RemoveResult::Failed;
    if (!IsReachedWithin(entry.Handle(), path, within)) return RemoveResult::Outside;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(entry.Handle(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return RemoveResult::Failed;
    if (DeleteOnClose(entry.Handle())) return RemoveResult::Removed;
    // A read-only file is ours to remove: clear the attribute and try once more.
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = (info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) | FILE_ATTRIBUTE_NORMAL;
        if (SetFileInformationByHandle(entry.Handle(), FileBasicInfo, &basic, sizeof basic) &&
            DeleteOnClose(entry.Handle()))
            return RemoveResult::Removed;
    }
    return RemoveResult::Failed;
}

bool Win32RemovalSystem::RemoveEmptyFolder(const std::string& path, const std::string& within) {
    {
        // A folder reached through a link is not removed: Wine would remove the folder it leads to.
        Entry entry(path);
        if (!entry.Opened() || !IsReachedWithin(entry.Handle(), path, within)) return false;
    }
    // RemoveDirectory refuses a folder that holds anything, which is what keeps this from ever
    // removing more than an empty folder.
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

std::optional<std::string> Win32RemovalSystem::SpecialFolderPath(SpecialFolder folder) {
    return m_shell.SpecialFolderPath(folder);
}

namespace {

// 32-bit Windows ignores these flags, so there both views are the one registry.
REGSAM ViewFlag(RegistryView view) { return view == RegistryView::Programs64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

}  // namespace

std::optional<std::string> Win32RemovalSystem::ReadMachineString(RegistryView view, const std::string& keyPath,
                                                                 const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_QUERY_VALUE | ViewFlag(view), &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
    return std::string(buffer, strnlen(buffer, size));
}

bool Win32RemovalSystem::DeleteMachineKey(RegistryView view, const std::string& path) {
    // The parent is opened in the wanted view and the key deleted below it, which also works where
    // RegDeleteKeyEx does not exist.
    const std::size_t slash = path.rfind('\\');
    const std::string parentPath = slash == std::string::npos ? std::string() : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    HKEY parent = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, parentPath.c_str(), 0, KEY_ALL_ACCESS | ViewFlag(view), &parent);
    if (result == ERROR_FILE_NOT_FOUND) return true;
    if (result != ERROR_SUCCESS) return false;
    result = RegDeleteKeyA(parent, name.c_str());
    RegCloseKey(parent);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

void Win32RemovalSystem::Sleep(unsigned milliseconds) { ::Sleep(milliseconds); }

bool Win32RemovalSystem::Confirm(const std::string& text, const std::string& caption) {
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void Win32RemovalSystem::Tell(const std::string& text, const std::string& caption, bool error) {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(),
                MB_OK | MB_SETFOREGROUND | (error ? MB_ICONWARNING : MB_ICONINFORMATION));
}

}  // namespace kv::uninstall

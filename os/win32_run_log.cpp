// The run log's file on Win32.
#include "os/win32_run_log.h"

#include <aclapi.h>

#include "os/win32_system.h"

namespace kv::os {

namespace {

// Whether the open file's owner is this process's account, or the owner this account gives what it
// creates (the Administrators group for an elevated administrator).
bool OwnedByThisAccount(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    bool ours = false;
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        alignas(TOKEN_USER) BYTE user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
        alignas(TOKEN_OWNER) BYTE defaultOwner[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_OWNER)];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, user, sizeof user, &size))
            ours = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(user)->User.Sid) != FALSE;
        if (!ours && GetTokenInformation(token, TokenOwner, defaultOwner, sizeof defaultOwner, &size))
            ours = EqualSid(owner, reinterpret_cast<TOKEN_OWNER*>(defaultOwner)->Owner) != FALSE;
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return ours;
}

}  // namespace

// Appended to when it is this account's own file, so a later run adds to what earlier runs wrote and
// a deployment that runs several installers with one log keeps all of it. Anything else of that name
// (a link, a second name of another file, a file another account made, perhaps in a temporary folder
// that every user may write to) is replaced by a new file, never written through. Others may read it
// while the run goes on.
Win32RunLog::Win32RunLog(const std::string& path) {
    if (path.empty()) return;
    constexpr DWORD access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL;
    constexpr DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    m_hFile = OpenOwnFile(path, access, share);
    if (m_hFile != INVALID_HANDLE_VALUE && OwnedByThisAccount(m_hFile)) return;
    if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
    m_hFile = CreateFreshFile(path, access, share);
}

Win32RunLog::~Win32RunLog() {
    if (m_hFile != INVALID_HANDLE_VALUE) CloseHandle(m_hFile);
}

// A failed write is dropped: the log never stops or slows down the run it describes.
void Win32RunLog::Write(std::initializer_list<std::string_view> parts) {
    if (m_hFile == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string line =
        FormatLogLine({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds}, parts);
    DWORD written = 0;
    WriteFile(m_hFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace kv::os

// The run log's file on Win32.
#include "os/win32_run_log.h"

namespace kv::os {

// Opened for appending, created when missing: a later run adds to what earlier runs wrote, so a
// deployment that runs several installers with one log keeps all of it. Others may read it while
// the run goes on.
Win32RunLog::Win32RunLog(const std::string& path) {
    if (path.empty()) return;
    m_hFile = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
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

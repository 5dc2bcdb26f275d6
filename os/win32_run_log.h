// The run log as a file: each line appended and written through at once, so a run that is killed
// leaves every line before the kill.
#pragma once

#include <windows.h>

#include <string>

#include "os/run_log.h"

namespace kv::os {

class Win32RunLog final : public RunLog {
public:
    // An empty path, or a file that cannot be opened, gives a log that writes nothing.
    explicit Win32RunLog(const std::string& path);
    ~Win32RunLog() override;
    Win32RunLog(const Win32RunLog&) = delete;
    Win32RunLog& operator=(const Win32RunLog&) = delete;

protected:
    void Write(std::initializer_list<std::string_view> parts) override;

private:
    HANDLE m_hFile = INVALID_HANDLE_VALUE;
};

}  // namespace kv::os

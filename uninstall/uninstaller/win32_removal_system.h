// The product's removal seam over the Win32 API.
#pragma once

#include <windows.h>

#include "os/win32_system.h"
#include "uninstall/uninstaller/removal_system.h"

namespace kv::uninstall {

class Win32RemovalSystem : public RemovalSystem {
public:
    std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) override;
    bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
    RemoveResult RemoveFile(const std::string& path, const std::string& within) override;
    bool RemoveEmptyFolder(const std::string& path, const std::string& within) override;
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;
    std::optional<std::string> ReadMachineString(RegistryView view, const std::string& keyPath,
                                                 const std::string& name) override;
    bool DeleteMachineKey(RegistryView view, const std::string& path) override;
    void Sleep(unsigned milliseconds) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
    void Tell(const std::string& text, const std::string& caption, bool error) override;

private:
    os::Win32System m_shell;  // the installer's own special-folder lookup, so both agree
};

}  // namespace kv::uninstall

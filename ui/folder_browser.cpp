// The folder browser over SHBrowseForFolder: item lists come from and go back to the shell's
// allocator, and the caller's buffer is written only when a folder was chosen.
#include "ui/folder_browser.h"

#include <shlobj.h>

#include <cstring>

#include "install/messages.h"
#include "startup/command_line.h"
#include "ui/browse_license_rules.h"

namespace kv::ui {

namespace {

constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;  // 9

// The caption of the application's own message boxes: the executable's name without extension.
std::string ApplicationName() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return startup::ExecutableNameFromPath(path);
}

}  // namespace

bool CFolderBrowser::Browse() {
    IMalloc* allocator = nullptr;
    if (FAILED(::SHGetMalloc(&allocator)) || allocator == nullptr) {
        return false;
    }
    // My Computer is not browsed from; the lookup only proves the shell namespace is reachable.
    LPITEMIDLIST drives = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(m_hwndOwner, CSIDL_DRIVES, &drives)) || drives == nullptr) {
        const std::string caption = ApplicationName();
        ::MessageBoxA(m_hwndOwner, install::Say(install::Notice::DesktopUnreachable).c_str(), caption.c_str(),
                      MB_ICONEXCLAMATION | MB_OK);
        allocator->Release();
        return false;
    }

    m_strPath.assign(MAX_PATH, '\0');
    BROWSEINFOA info{};
    info.hwndOwner = m_hwndOwner;
    info.pidlRoot = nullptr;  // the whole namespace, from the Desktop
    info.pszDisplayName = m_strPath.data();
    info.lpszTitle = m_strPrompt.c_str();
    info.ulFlags = kBrowseFlags;
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);

    bool result = false;
    if (LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info)) {
        m_strPath.assign(MAX_PATH, '\0');
        result = ::SHGetPathFromIDListA(chosen, m_strPath.data()) != FALSE;
        allocator->Free(chosen);
    }
    m_strPath.resize(std::strlen(m_strPath.c_str()));
    allocator->Free(drives);
    allocator->Release();
    return result;
}

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
    const auto* request = reinterpret_cast<const CFolderBrowser*>(data);
    if (message == BFFM_INITIALIZED && request != nullptr && !request->m_strInitialFolder.empty()) {
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE,
                       reinterpret_cast<LPARAM>(request->m_strInitialFolder.c_str()));
    }
    return 0;
}

std::optional<std::string> PickFolder(const std::string& prompt, const std::string& initialFolder, HWND owner) {
    CFolderBrowser browser;
    browser.m_strPrompt = prompt;
    browser.m_strInitialFolder = FolderForPreselection(initialFolder);
    browser.m_hwndOwner = owner;
    if (!browser.Browse()) return std::nullopt;
    // The shell's path fits MAX_PATH with its terminator; the result is bounded all the same.
    return browser.m_strPath.substr(0, MAX_PATH - 1);
}

}  // namespace kv::ui

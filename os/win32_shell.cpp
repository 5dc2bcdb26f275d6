// Shell services of the Win32 System: special folders and shell-link files.
#include <shlobj.h>
#include <shobjidl.h>

#include "os/win32_system.h"

namespace kv::os {

namespace {

// Releases a COM interface when leaving scope.
template <typename T>
struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p) p->Release();
    }
};

}  // namespace

std::optional<std::string> Win32System::SpecialFolderPath(SpecialFolder folder) {
    StartCom();  // the shell functions behind the special folders want it on this thread
    const int csidl = folder == SpecialFolder::Desktop ? CSIDL_DESKTOPDIRECTORY : CSIDL_PROGRAMS;
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(m_hOwner, csidl, &list)) || list == nullptr) return std::nullopt;
    char path[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(list, path);
    CoTaskMemFree(list);
    if (!ok) return std::nullopt;
    return std::string(path);
}

void Win32System::StartCom() {
    // S_FALSE (already started on this thread) is balanced too; a thread started in another mode
    // keeps it, and the shell works in that.
    if (!m_comStarted) m_comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

Win32System::~Win32System() {
    if (m_comStarted) CoUninitialize();
}

bool Win32System::SaveShellLink(const std::string& linkPath, const std::string& target, const std::string& description,
                                const std::string& arguments, const std::string& workingDirectory) {
    StartCom();
    bool saved = false;
    {
        ComRelease<IShellLinkA> link;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                       reinterpret_cast<void**>(&link.p)))) {
            link.p->SetPath(target.c_str());
            link.p->SetDescription(description.c_str());
            link.p->SetArguments(arguments.c_str());
            link.p->SetWorkingDirectory(workingDirectory.c_str());
            ComRelease<IPersistFile> file;
            wchar_t widePath[MAX_PATH] = {};
            if (SUCCEEDED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.p))) &&
                MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) > 0) {
                saved = SUCCEEDED(file.p->Save(widePath, TRUE));
            }
        }
    }
    return saved;
}

}  // namespace kv::os

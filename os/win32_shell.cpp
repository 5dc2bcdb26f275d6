// Shell services of the Win32 System: special folders, shell-link files and programs started.
#include <exdisp.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "os/dll_search.h"
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

// Whether this process runs with administrator rights that the logged-on user's desktop does not
// have: a program it starts would inherit them.
bool RunsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return ok && elevation.TokenIsElevated != 0;
}

std::wstring Wide(const std::string& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

// A VARIANT holding a BSTR, from the automation library loaded from the system folder.
class BstrVariant {
public:
    BstrVariant(const std::wstring& text) {
        using Alloc = BSTR(WINAPI*)(const OLECHAR*);
        if (const auto alloc = ProcAddress<Alloc>(Automation(), "SysAllocString")) {
            m_value.vt = VT_BSTR;
            m_value.bstrVal = alloc(text.c_str());
        }
    }
    ~BstrVariant() {
        using Free = void(WINAPI*)(BSTR);
        if (const auto free = ProcAddress<Free>(Automation(), "SysFreeString"); free && m_value.vt == VT_BSTR)
            free(m_value.bstrVal);
    }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
    bool Valid() const { return m_value.vt == VT_BSTR && m_value.bstrVal != nullptr; }
    BSTR Text() const { return m_value.bstrVal; }
    const VARIANT& Value() const { return m_value; }

private:
    static HMODULE Automation() { return LoadSystemLibrary("oleaut32.dll"); }
    VARIANT m_value{};  // VT_EMPTY
};

// A file (not a folder) stands under the path.
bool IsPlainFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Hands the start to the desktop's own shell (the desktop window's view, through its automation
// object), so that the program runs as the user the desktop belongs to, not with this process's
// administrator rights. False when there is no desktop shell to ask (no one logged on, a service's
// session, a shell that does not offer this): the caller then starts the program itself.
bool StartThroughDesktopShell(const std::string& file, const std::string& parameters, const std::string& directory) {
    ComRelease<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                reinterpret_cast<void**>(&windows.p))))
        return false;
    VARIANT location{};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT root{};  // VT_EMPTY
    long window = 0;
    ComRelease<IDispatch> desktop;
    if (windows.p->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, &desktop.p) != S_OK ||
        desktop.p == nullptr)
        return false;
    ComRelease<IServiceProvider> services;
    ComRelease<IShellBrowser> browser;
    ComRelease<IShellView> view;
    ComRelease<IDispatch> background;
    ComRelease<IShellFolderViewDual> folderView;
    ComRelease<IDispatch> application;
    ComRelease<IShellDispatch2> shell;
    if (FAILED(desktop.p->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services.p))) ||
        FAILED(
            services.p->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser.p))) ||
        FAILED(browser.p->QueryActiveShellView(&view.p)) || view.p == nullptr ||
        FAILED(view.p->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background.p))) ||
        FAILED(background.p->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView.p))) ||
        FAILED(folderView.p->get_Application(&application.p)) || application.p == nullptr ||
        FAILED(application.p->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell.p))))
        return false;
    const BstrVariant program(Wide(file)), arguments(Wide(parameters)), folder(Wide(directory)), verb(L"open");
    if (!program.Valid() || !arguments.Valid() || !folder.Valid() || !verb.Valid()) return false;
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell.p->ShellExecute(program.Text(), arguments.Value(), folder.Value(), verb.Value(), show));
}

}  // namespace

bool Win32System::ShellOpen(const std::string& file, const std::string& parameters,
                            const std::string& workingDirectory) {
    StartCom();  // the shell may hand the start to an extension, which needs it
    // An installer runs elevated, often in a folder the user may write to: the program it starts
    // at the end runs with the logged-on user's rights where the desktop's shell can start it.
    // The shell's process has a current directory of its own, so it is given the full path. The
    // desktop's shell only takes the request (and would show its own box for a program that cannot
    // start), so it is asked only for a program file that is there.
    if (RunsElevated()) {
        const std::optional<std::string> program = FullPathName(file);
        if (program && IsPlainFile(*program) && StartThroughDesktopShell(*program, parameters, workingDirectory))
            return true;
    }
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    // Without an owner window (a quiet run) nobody is there to answer the shell's own error box or
    // "Open with" question: the start fails instead, and the run reports it. The process may end
    // right after, so the start is finished before this returns.
    info.fMask = SEE_MASK_NOASYNC | (m_hOwner == nullptr ? SEE_MASK_FLAG_NO_UI : 0);
    info.hwnd = m_hOwner;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = workingDirectory.c_str();
    info.nShow = SW_SHOWDEFAULT;
    return ShellExecuteExA(&info) != FALSE;
}

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

// Kvuninstall.exe: removes one installed product, named on the command line as FOLDER|PRODUCT.
// It lives in the Windows directory and serves every product, so it never deletes itself.
#include <windows.h>

#include "os/dll_search.h"
#include "uninstall/uninstaller/command_line.h"
#include "uninstall/uninstaller/uninstaller_run.h"
#include "uninstall/uninstaller/win32_removal_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::os::RestrictDllSearchToSystem32();
    // The shell functions behind the special folders want the component library on this thread.
    const HRESULT com = CoInitialize(nullptr);
    int code = 0;
    {
        kv::uninstall::Win32RemovalSystem system;
        code = kv::uninstall::RunUninstall(system, kv::uninstall::ArgumentsOf(GetCommandLineA())).exitCode;
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}

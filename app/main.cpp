// The installer's entry point: the one application object and the process exit code.
#include <windows.h>

#include "app/installer_app.h"
#include "os/dll_search.h"

namespace {
kv::app::CInstallerApp theApp;
}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::os::RestrictDllSearchToSystem32();
    char modulePath[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, modulePath, sizeof modulePath);
    if (length == 0 || length >= sizeof modulePath) {
        modulePath[0] = '\0';
    }
    return theApp.Run(::GetCommandLineA(), modulePath);
}

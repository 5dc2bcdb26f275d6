// Kvuninstall.exe: removes one installed product, named on the command line as FOLDER|PRODUCT.
// It lives in the Windows directory and serves every product, so it never deletes itself.
#include <windows.h>

#include <string>

#include "os/dll_search.h"
#include "os/win32_run_log.h"
#include "uninstall/uninstaller/command_line.h"
#include "uninstall/uninstaller/uninstaller_run.h"
#include "uninstall/uninstaller/win32_removal_system.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::os::RestrictDllSearchToSystem32();
    // The component library is started by the first special-folder lookup, for a product with
    // shortcuts only: starting it costs Wine about a quarter of a second.
    int code = 0;
    {
        const std::string_view arguments = kv::uninstall::ArgumentsOf(GetCommandLineA());
        kv::os::Win32RunLog log(kv::uninstall::LogPathOption(arguments));
        log.Line({"Command line: ", arguments});
        kv::uninstall::Win32RemovalSystem system;
        code = kv::uninstall::RunUninstall(system, arguments, log).exitCode;
        log.Line({"Exit code ", std::to_string(code)});
    }
    return code;
}

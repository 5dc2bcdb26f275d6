// Kvuninstall.exe: removes one installed product, named on the command line as FOLDER|PRODUCT.
// It lives in the Windows directory and serves every product, so it never deletes itself.
#include <windows.h>

#include <exception>
#include <string>
#include <string_view>

#include "archive/options.h"
#include "os/dll_search.h"
#include "os/win32_run_log.h"
#include "uninstall/uninstaller/command_line.h"
#include "uninstall/uninstaller/exit_codes.h"
#include "uninstall/uninstaller/uninstaller_run.h"
#include "uninstall/uninstaller/win32_removal_system.h"

namespace {

// The run itself; anything it throws is caught by the caller.
int Uninstall(std::string_view arguments, kv::os::RunLog& log) {
    kv::uninstall::Win32RemovalSystem system;
    return kv::uninstall::RunUninstall(system, arguments, log).exitCode;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::os::RestrictDllSearchToSystem32();
    const std::string_view arguments = kv::archive::ArgumentsAfterProgramName(GetCommandLineA());
    // A quiet removal never waits: Windows fails a call on a drive without media or a file it cannot
    // open instead of asking in a system error box.
    if (kv::uninstall::HasQuietOption(arguments)) ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The component library is started by the first special-folder lookup, for a product with
    // shortcuts only: starting it costs Wine about a quarter of a second.
    int code = kv::uninstall::kUninstallInternalError;
    {
        kv::os::Win32RunLog log(kv::uninstall::LogPathOption(arguments));
        log.Line({"Command line: ", arguments});
        // Nothing escapes to the runtime's abort box: an unexpected error (memory, for one) is logged
        // and has an exit code of its own, never one that means something else.
        try {
            code = Uninstall(arguments, log);
        } catch (const std::exception& error) {
            log.Line({"An unexpected error stopped the uninstaller: ", error.what()});
        } catch (...) {
            log.Line("An unexpected error stopped the uninstaller");
        }
        log.Line({"Exit code ", std::to_string(code)});
    }
    return code;
}

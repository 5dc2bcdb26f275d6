// kvpack: builds, lists, verifies and extracts Korvalin installers. Errors become exit codes here.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <windows.h>

#include "os/dll_search.h"
#endif

#include "archive/format_error.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

#ifdef _WIN32
namespace {

// Messages are UTF-8, as on Linux; a console shows them right only in that code page. The code page
// belongs to the console window and outlives kvpack, so the previous one is put back at the end.
class ConsoleInUtf8 {
public:
    ConsoleInUtf8() : m_previous(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
    ~ConsoleInUtf8() {
        if (m_previous != 0) SetConsoleOutputCP(m_previous);
    }

private:
    UINT m_previous;
};

}  // namespace
#endif

int main(int argc, char** argv) {
    using namespace kv::tools;
#ifdef _WIN32
    // DLLs loaded from here on come from the system folder only, never from kvpack's own folder or
    // the working folder, where a download folder may hold a planted DLL.
    kv::os::RestrictDllSearchToSystem32();
    const ConsoleInUtf8 console;
#endif
    const std::vector<std::string> arguments = Utf8Arguments(argc, argv);
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
    CLI::App app{"kvpack: builds and inspects Korvalin installers", "kvpack"};
    app.require_subcommand(1);
    CommandRunner run;
    for (AddCommand add : AllCommands()) add(app, run);
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? kExitOk : kExitUsage;
    }
    try {
        return run ? run() : kExitUsage;
    } catch (const ToolError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return error.code();
    } catch (const kv::archive::FormatError& error) {
        std::fprintf(stderr, "corrupt input: %s\n", error.what());
        return kExitCorrupt;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "out of memory\n");
        return kExitIoError;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "error: %s\n", error.what());
        return kExitIoError;
    }
}

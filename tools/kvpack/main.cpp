// kvpack: builds, lists, verifies and extracts Korvalin installers. Errors become exit codes here.
#include <cstdio>
#include <exception>

#include <CLI/CLI.hpp>

#include "archive/format_error.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/tool_error.h"

int main(int argc, char** argv) {
    using namespace kv::tools;
    CLI::App app{"kvpack: builds and inspects Korvalin installers", "kvpack"};
    app.require_subcommand(1);
    CommandRunner run;
    for (AddCommand add : AllCommands()) add(app, run);
    try {
        app.parse(argc, argv);
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

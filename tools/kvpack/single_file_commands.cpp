// kvpack compress / kvpack expand: one file to SZDD and back, named like the classic tools do.
#include <memory>

#include "archive/szdd.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

namespace fs = std::filesystem;
namespace szdd = kv::archive::szdd;

struct CompressOptions {
    std::string input;
    std::string output;
    bool fast = false;
};

struct ExpandOptions {
    std::string input;
    std::string output;
};

int RunCompress(const CompressOptions& options) {
    const std::vector<std::uint8_t> data = ReadFileBytes(PathFromUtf8(options.input), "input");
    const std::vector<std::uint8_t> compressed =
        szdd::Compress(data, options.fast ? szdd::Level::Fast : szdd::Level::Best);
    std::string output = options.output;
    if (output.empty()) {
        // Like mscompress: the input's name with "_" appended ("readme.txt" gives "readme.txt_").
        const std::string name = PathToUtf8(PathFromUtf8(options.input).filename());
        if (name.empty() || name.back() == '_') {
            throw ToolError(kExitUsage, options.input + ": already ends in \"_\": give -o OUT");
        }
        output = options.input + "_";
    }
    WriteFileBytes(PathFromUtf8(output), compressed);
    return kExitOk;
}

int RunExpand(const ExpandOptions& options) {
    const std::vector<std::uint8_t> data = ReadFileBytes(PathFromUtf8(options.input), "input");
    if (!IsCompressedEntry(data)) throw ToolError(kExitCorrupt, options.input + ": not an SZDD compressed file");
    std::string output = options.output;
    if (output.empty()) {
        const std::string name = PathToUtf8(PathFromUtf8(options.input).filename());
        if (name.empty() || name.back() != '_') {
            throw ToolError(kExitUsage, options.input + ": name does not end in \"_\": give -o OUT");
        }
        const char replaced = static_cast<char>(data[szdd::kNameCharOffset]);
        output = options.input.substr(0, options.input.size() - 1);
        if (replaced != 0) output += replaced;
        if (output.empty() || PathFromUtf8(output).filename().empty()) {
            throw ToolError(kExitUsage, options.input + ": cannot derive an output name: give -o OUT");
        }
    }
    WriteFileBytes(PathFromUtf8(output), ExpandEntry(data, options.input));
    return kExitOk;
}

}  // namespace

void AddCompressCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<CompressOptions>();
    CLI::App* sub =
        app.add_subcommand("compress", "Compress one file to SZDD (readable by msexpand and the LZ service)");
    sub->add_option("input", options->input, "File to compress")->required();
    sub->add_option("-o,--output", options->output, "Output file (default: the input's name followed by _)");
    sub->add_flag("--fast", options->fast, "Faster, slightly larger compression");
    sub->callback([options, &run] { run = [options] { return RunCompress(*options); }; });
}

void AddExpandCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<ExpandOptions>();
    CLI::App* sub = app.add_subcommand("expand", "Expand one SZDD compressed file");
    sub->add_option("input", options->input, "Compressed file")->required();
    sub->add_option("-o,--output", options->output,
                    "Output file (default: the input's name without its trailing _, "
                    "or with the letter the header keeps in its place)");
    sub->callback([options, &run] { run = [options] { return RunExpand(*options); }; });
}

}  // namespace kv::tools

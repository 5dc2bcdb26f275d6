// kvpack extract: expands every entry of an installer to DIR/folder/file, never outside DIR.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/file_time.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

namespace fs = std::filesystem;

struct ExtractOptions {
    std::string installer;
    std::string directory;
};

// The path below DIR for a record, or why it would not stay inside DIR. Both separators count, as
// they do on Windows; the reader refuses such records too, this is the last line of defence.
std::optional<fs::path> RelativeTarget(const kv::archive::FileRecord& record, std::string& problem) {
    fs::path relative;
    std::string part;
    const auto addPart = [&](bool isFile) {
        if (part.empty() && !isFile) return true;  // doubled separator
        if (part.empty() || part == "." || part == ".." || part.find(':') != std::string::npos) {
            problem = "\"" + AnsiToUtf8(part) + "\" would leave the target folder";
            return false;
        }
        relative /= PathFromUtf8(AnsiToUtf8(part));
        part.clear();
        return true;
    };
    if (!record.folder.empty() && (record.folder[0] == '\\' || record.folder[0] == '/')) {
        problem = "folder \"" + AnsiToUtf8(record.folder) + "\" is absolute";
        return std::nullopt;
    }
    for (char c : record.folder) {
        if (c == '\\' || c == '/') {
            if (!addPart(false)) return std::nullopt;
        } else {
            part += c;
        }
    }
    if (!addPart(false)) return std::nullopt;
    if (record.file.find_first_of("\\/") != std::string::npos) {
        problem = "file \"" + AnsiToUtf8(record.file) + "\" has a folder part";
        return std::nullopt;
    }
    part = record.file;
    if (!addPart(true)) return std::nullopt;
    return relative;
}

bool IsInside(const fs::path& path, const fs::path& root) {
    const auto [rootEnd, pathIt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
    return rootEnd == root.end();
}

void StampTime(const fs::path& path, FileTime time) {
    using namespace std::chrono;
    const auto seconds = static_cast<std::int64_t>(time / 10'000'000) - 11644473600LL;
    // The file clock counts nanoseconds in 64 bits, about 292 years either side of 1970; a time
    // outside that (such as a zero FILETIME, 1601) is left unstamped rather than overflowing.
    if (seconds < -9'000'000'000LL || seconds > 9'000'000'000LL) return;
    const sys_time<nanoseconds> when{
        nanoseconds(seconds * 1'000'000'000LL + static_cast<std::int64_t>(time % 10'000'000) * 100)};
    std::error_code ignored;  // a file system without times is no reason to fail the extraction
    fs::last_write_time(path, file_clock::from_sys(when), ignored);
}

int RunExtract(const ExtractOptions& options) {
    const LoadedInstaller installer = LoadInstaller(PathFromUtf8(options.installer));
    const auto& m = installer.opened.manifest;

    // Check every record first, so a refused one leaves nothing half-extracted behind.
    std::vector<fs::path> targets;
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        std::string problem;
        std::optional<fs::path> relative = RelativeTarget(m.files[i], problem);
        if (!relative) {
            throw ToolError(kExitCorrupt, options.installer + ": files[" + std::to_string(i + 1) +
                                              "]: refused, it would be written outside " + options.directory + ": " +
                                              problem);
        }
        targets.push_back(*relative);
    }

    std::error_code ec;
    const fs::path directory = PathFromUtf8(options.directory);
    fs::create_directories(directory, ec);
    const fs::path root = fs::weakly_canonical(directory, ec);
    if (ec || !fs::is_directory(root)) {
        throw ToolError(kExitIoError, options.directory + ": cannot create the folder");
    }
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const auto& record = m.files[i];
        const std::string what = "files[" + std::to_string(i + 1) + "] (" + AnsiToUtf8(record.file) + ")";
        const std::vector<std::uint8_t> bytes = ExpandEntry(EntryBytes(installer, record), what);
        const fs::path target = root / targets[i];
        fs::create_directories(target.parent_path(), ec);
        // A folder that is a link pointing elsewhere must not carry a file out of DIR.
        const fs::path realParent = fs::weakly_canonical(target.parent_path(), ec);
        if (ec || !IsInside(realParent, root)) {
            throw ToolError(kExitCorrupt, what + ": refused, " + target.parent_path().string() + " leads outside " +
                                              options.directory);
        }
        WriteFileBytes(realParent / target.filename(), bytes);
        StampTime(realParent / target.filename(), i == 0 ? m.uninstallerDate : m.archiveDate);
        std::printf("%s (%zu bytes)\n", targets[i].string().c_str(), bytes.size());
    }
    return kExitOk;
}

}  // namespace

void AddExtractCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App* sub = app.add_subcommand("extract", "Expand every file of an installer into a folder");
    sub->add_option("installer", options->installer, "Installer file")->required();
    sub->add_option("-d,--directory", options->directory, "Target folder (DIR/folder/file)")->required();
    sub->footer(
        "Files get the installer's time stamps. A record that would land outside DIR stops the run before "
        "anything is written.");
    sub->callback([options, &run] { run = [options] { return RunExtract(*options); }; });
}

}  // namespace kv::tools

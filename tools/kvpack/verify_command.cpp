// kvpack verify: checks an installer's checksum, manifest, record conventions and every entry.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "archive/installer_file.h"
#include "archive/names.h"
#include "archive/pe_signing.h"
#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

bool AllZero(std::span<const std::uint8_t> file, std::uint64_t at, std::size_t count) {
    return std::all_of(file.begin() + static_cast<std::ptrdiff_t>(at),
                       file.begin() + static_cast<std::ptrdiff_t>(at + count), [](std::uint8_t b) { return b == 0; });
}

struct VerifyOptions {
    std::string installer;
};

// Everything wrong with the installer, one message each; empty when it is sound.
std::vector<std::string> Problems(const LoadedInstaller& installer, std::vector<std::string>& notes) {
    std::vector<std::string> problems;
    const auto& m = installer.opened.manifest;
    if (m.files.empty()) {
        problems.push_back("fileCount: no file records");
        return problems;
    }
    const auto& first = m.files.front();
    if (kv::archive::UninstallerRecordFault(first) != kv::archive::UninstallerFault::None) {
        problems.push_back("files[1]: the first record must be " + std::string(kv::archive::kUninstallerName) +
                           " with an empty folder, not \"" +
                           AnsiToUtf8(first.folder.empty() ? first.file : first.folder + "\\" + first.file) + "\"");
    }
    bool runFileFound = m.runFile.empty();
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const auto& f = m.files[i];
        const std::string what = "files[" + std::to_string(i + 1) + "] (" + AnsiToUtf8(f.file) + ")";
        runFileFound = runFileFound || f.file == m.runFile;
        if ((f.desktopIcon != 0 || f.programsIcon != 0) && f.iconName.empty()) {
            problems.push_back(what + ".iconName: empty although a shortcut is asked for");
        }
        try {
            (void)ExpandEntry(EntryBytes(installer, f), what);
        } catch (const ToolError& error) {
            problems.push_back(error.what());
        }
    }
    // The installer only offers nothing to start then, so this is a note, not a fault.
    if (!runFileFound) notes.push_back("runFile \"" + AnsiToUtf8(m.runFile) + "\" names no file record");
    if (!installer.opened.certificateTable) {
        if (installer.bytes.size() % 8 != 0) {
            notes.push_back("the length " + std::to_string(installer.bytes.size()) +
                            " is not a multiple of 8, so the file cannot be signed as is");
        }
        // A signature would rewrite these, and a signed file is checked with them as zeros.
        kv::archive::SpanSource source(installer.bytes);
        const auto pe = kv::archive::FindPeSigningFields(source);
        if (pe && !(AllZero(installer.bytes, pe->checksumAt, kv::archive::kPeChecksumSize) &&
                    AllZero(installer.bytes, pe->securityEntryAt, kv::archive::kSecurityEntrySize))) {
            notes.push_back(
                "the PE checksum field or the security directory entry is not zero, so the file cannot be "
                "signed as is (kvpack build with a sign command zeroes them)");
        }
    }
    return problems;
}

int RunVerify(const VerifyOptions& options) {
    std::vector<std::uint8_t> bytes = ReadInstallerBytes(PathFromUtf8(options.installer));
    kv::archive::SpanSource source(bytes);
    const kv::archive::InstallerChecksum checksum = kv::archive::ChecksumInstaller(source);
    const std::uint32_t computed = checksum.computed;
    const std::uint32_t stored = checksum.stored;
    if (computed != stored) {
        throw ToolError(kExitCorrupt, options.installer + ": checksum mismatch: stored " + Hex(stored) + ", computed " +
                                          Hex(computed) + " (the file is damaged)");
    }
    LoadedInstaller installer = OpenLoadedInstaller(PathFromUtf8(options.installer), std::move(bytes), checksum);
    std::vector<std::string> notes;
    const std::vector<std::string> problems = Problems(installer, notes);
    for (const std::string& note : notes) std::printf("%s: note: %s\n", options.installer.c_str(), note.c_str());
    if (!problems.empty()) {
        std::string message;
        for (const std::string& problem : problems)
            message += (message.empty() ? "" : "\n") + options.installer + ": " + problem;
        throw ToolError(kExitCorrupt, message);
    }
    // Only the table's place is known here: whether its signature is valid is for a signature checker.
    if (const auto& table = installer.opened.certificateTable) {
        std::printf("%s: certificate table present, signature not checked: %llu bytes at %s, behind the trailer\n",
                    options.installer.c_str(), static_cast<unsigned long long>(table->size),
                    Hex(table->offset).c_str());
    }
    const auto& m = installer.opened.manifest;
    std::printf("%s: OK: checksum %s, %zu settings, %zu files, every entry expands\n", options.installer.c_str(),
                Hex(stored).c_str(), m.settings.size(), m.files.size());
    return kExitOk;
}

}  // namespace

void AddVerifyCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* sub = app.add_subcommand("verify", "Check an installer's checksum, structure and entries");
    sub->add_option("installer", options->installer, "Installer file")->required();
    sub->footer("Exit code 0 when the installer is sound, 3 with a message saying what is wrong otherwise.");
    sub->callback([options, &run] { run = [options] { return RunVerify(*options); }; });
}

}  // namespace kv::tools

// kvpack build: a project file and its sources in, one installer out.
#include <cstdio>
#include <filesystem>
#include <memory>

#include "archive/ascii_case.h"
#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "archive/pe_signing.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/license_text.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/parallel_compress.h"
#include "tools/kvpack/product_identity.h"
#include "tools/kvpack/progress.h"
#include "tools/kvpack/project.h"
#include "tools/kvpack/sign_command.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

struct BuildOptions {
    std::string project;
    std::string output;
    std::string stub;
    std::string uninstaller;
    bool fast = false;
    unsigned jobs = 0;
    bool quiet = false;
    std::string sign;
};

// Signs the built installer: the program image's signing fields are zeroed first (the reader checks
// a signed file with them as zeros), the command signs a scratch copy, and what it writes must read
// back as a signed installer.
std::vector<std::uint8_t> SignInstaller(const SignCommand& sign, const std::string& output,
                                        std::vector<std::uint8_t> installer) {
    std::filesystem::path unsignedCopy = PathFromUtf8(output);
    unsignedCopy += ".kvpack-unsigned";
    WriteFileBytes(unsignedCopy, installer);
    std::vector<std::uint8_t> signedBytes;
    try {
        signedBytes = SignFile(sign, unsignedCopy, PathFromUtf8(output), "installer");
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(unsignedCopy, ignored);
        throw;
    }
    std::error_code ignored;
    std::filesystem::remove(unsignedCopy, ignored);
    kv::archive::SpanSource source(signedBytes);
    const kv::archive::InstallerChecksum checksum = kv::archive::ChecksumInstaller(source);
    if (!checksum.matches() || !checksum.certificateTable) {
        throw ToolError(kExitBadInput,
                        "the signing command's output does not read back as a signed installer: " + sign.command);
    }
    return signedBytes;
}

// The stub must be this project's installer program as it was built, not another program and not
// an installer that already carries an archive.
void CheckStub(const std::vector<std::uint8_t>& stub, const std::filesystem::path& path) {
    const std::string name = "stub " + path.string();
    if (ProgramMark(stub) != KV_INSTALLER_MARK) {
        throw ToolError(kExitBadInput, name + ": not this project's installer program (kvsetup.exe)");
    }
    kv::archive::SpanSource source(stub);
    if (kv::archive::ChecksumInstaller(source).matches()) {
        throw ToolError(kExitBadInput, name + ": an installer already built, not the installer program (kvsetup.exe)");
    }
}

void CheckUninstaller(const std::vector<std::uint8_t>& uninstaller, const std::filesystem::path& path) {
    if (ProgramMark(uninstaller) != KV_UNINSTALLER_MARK) {
        throw ToolError(kExitBadInput, "uninstaller " + path.string() + ": not this project's uninstaller (" +
                                           kv::archive::kUninstallerName + ")");
    }
}

bool IsLicenseRecord(const std::string& file) {
    return file.size() >= 7 && kv::archive::EqualsIgnoringCase(file.substr(0, 7), "license");
}

int RunBuild(const BuildOptions& options) {
    ProjectOverrides overrides = OverridesFromEnvironment();
    if (!options.stub.empty()) overrides.stub = PathFromUtf8(options.stub);
    if (!options.uninstaller.empty()) overrides.uninstaller = PathFromUtf8(options.uninstaller);
    overrides.fast = options.fast;
    if (!options.sign.empty()) overrides.sign = options.sign;
    Project project = LoadProject(PathFromUtf8(options.project), overrides);

    std::vector<std::uint8_t> stub = ReadFileBytes(project.stub, "stub");
    if (stub.empty()) throw ToolError(kExitBadInput, "stub " + project.stub.string() + ": is empty");
    CheckStub(stub, project.stub);
    if (project.identity.Given()) {
        const std::vector<std::uint8_t> icon =
            project.identity.icon ? ReadFileBytes(*project.identity.icon, "icon") : std::vector<std::uint8_t>{};
        stub = ApplyIdentity(stub, project.identity, project.manifest, icon);
    }
    // A signed installer is checked with its PE checksum field and security directory entry as zeros,
    // because signing rewrites them. The stub goes in with zeros there whether or not this build signs,
    // so an installer signed later by hand stays readable. A stub that is not a PE image goes in as it
    // is, and cannot be signed.
    const bool peImage = kv::archive::ClearPeSigningFields(stub);
    if (project.sign && !peImage) {
        throw ToolError(kExitBadInput,
                        "stub " + project.stub.string() + ": not a Windows program, so it cannot be signed");
    }

    std::vector<CompressJob> jobs;
    std::uint64_t inputBytes = 0;
    std::size_t licenseIndex = project.sources.size();
    for (std::size_t i = 1; i < project.sources.size() && licenseIndex == project.sources.size(); ++i) {
        if (IsLicenseRecord(project.manifest.files[i].file)) licenseIndex = i;
    }
    for (std::size_t i = 0; i < project.sources.size(); ++i) {
        CompressJob job;
        job.name = project.manifest.files[i].file;
        // The uninstaller is signed before it is packed.
        job.data = i == 0 && project.sign
                       ? SignFile(*project.sign, project.sources[i], PathFromUtf8(options.output), "uninstaller")
                       : ReadFileBytes(project.sources[i], "source");
        if (job.data.size() > kv::archive::kMaxOffset) {
            throw ToolError(kExitBadInput, project.sources[i].string() + ": larger than an installer can hold (2 GiB)");
        }
        if (i == 0) CheckUninstaller(job.data, project.sources[i]);
        // Only the first licence record is shown.
        if (i == licenseIndex) {
            job.data =
                PrepareLicense(job.data, project.sources[i].string(), project.licenseTextColor, project.warnings);
        }
        inputBytes += job.data.size();
        jobs.push_back(std::move(job));
    }
    for (const std::string& warning : project.warnings) std::fprintf(stderr, "kvpack: warning: %s\n", warning.c_str());

    std::vector<std::vector<std::uint8_t>> entries;
    {
        Progress progress("compressing", jobs.size(), !options.quiet);
        entries = CompressAll(jobs, project.level, options.jobs,
                              [&progress](const CompressJob& job) { progress.Step(job.name); });
    }

    std::uint64_t total = stub.size();
    for (const auto& entry : entries) total += entry.size();
    if (total > kv::archive::kMaxOffset) {
        throw ToolError(kExitBadInput, "the installer would exceed 2 GiB, beyond what entry offsets can address");
    }
    std::vector<std::uint8_t> installer;
    try {
        installer = kv::archive::BuildInstaller(stub, project.manifest, entries);
    } catch (const kv::archive::FormatError& error) {
        throw ToolError(kExitBadInput, options.project + ": " + error.what());
    }
    // Read back what was built the way the installer will: anything it would refuse is a kvpack bug,
    // and better caught here than on a user's machine.
    try {
        (void)kv::archive::OpenInstaller(installer);
    } catch (const kv::archive::FormatError& error) {
        throw ToolError(kExitCorrupt,
                        std::string("internal error: the built installer does not read back: ") + error.what());
    }
    if (installer.size() % 8 != 0) {
        throw ToolError(kExitCorrupt, "internal error: the built installer is not a multiple of 8 bytes long");
    }
    const std::uint32_t checksum = kv::archive::ChecksumOf(installer);
    if (project.sign) installer = SignInstaller(*project.sign, options.output, std::move(installer));
    WriteFileBytes(PathFromUtf8(options.output), installer);
    if (!options.quiet) {
        std::printf("%s: %zu files, %llu bytes packed into %zu (checksum %s%s)\n", options.output.c_str(),
                    project.manifest.files.size(), static_cast<unsigned long long>(inputBytes), installer.size(),
                    Hex(checksum).c_str(), project.sign ? ", signed" : "");
    }
    return kExitOk;
}

}  // namespace

void AddBuildCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<BuildOptions>();
    CLI::App* sub = app.add_subcommand("build", "Build an installer from a project file");
    sub->add_option("project", options->project, "Project file (TOML)")->required();
    sub->add_option("-o,--output", options->output, "Installer file to write")->required();
    sub->add_option("--stub", options->stub, "Installer program image (overrides the stub key and KVPACK_STUB)");
    sub->add_option(
        "--uninstaller", options->uninstaller,
        "Kvuninstall.exe to carry as the first file (overrides the uninstaller key and KVPACK_UNINSTALLER)");
    sub->add_flag("--fast", options->fast, "Faster, slightly larger compression");
    sub->add_option("-j,--jobs", options->jobs, "Compression threads (default: one per core)");
    sub->add_flag("-q,--quiet", options->quiet, "No progress and no summary");
    sub->add_option("--sign", options->sign,
                    "Signing command with {in} and {out}, run on the uninstaller and the installer (overrides the "
                    "sign key and KVPACK_SIGN)");
    sub->footer(
        "A date the project leaves out is SOURCE_DATE_EPOCH when set, else the newest source's time. "
        "A signing command that fails gives exit code 2.");
    sub->callback([options, &run] { run = [options] { return RunBuild(*options); }; });
}

}  // namespace kv::tools

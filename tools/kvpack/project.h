// A kvpack project: the manifest to write and where its pieces come from, read from a TOML file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/szdd.h"
#include "tools/kvpack/product_identity.h"

namespace kv::tools {

// What the command line and the environment add to a project file. The environment values are
// passed in (not read inside) so tests can give them.
struct ProjectOverrides {
    std::optional<std::filesystem::path> stub;         // --stub, relative to the working folder
    std::optional<std::filesystem::path> uninstaller;  // --uninstaller
    bool fast = false;                                 // --fast
    std::optional<std::string> sign;                   // --sign
    std::optional<std::string> envStub;                // KVPACK_STUB
    std::optional<std::string> envUninstaller;         // KVPACK_UNINSTALLER
    std::optional<std::string> envSign;                // KVPACK_SIGN
    std::optional<std::string> sourceDateEpoch;        // SOURCE_DATE_EPOCH
};

// A signing command, run on the uninstaller before it is packed and on the built installer.
struct SignCommand {
    std::string command;           // a shell command with {in} (file to sign) and {out} (signed file)
    std::filesystem::path folder;  // where it runs: the project's folder for the sign key, else the current one
};

struct Project {
    // Every record in installer order, the uninstaller first; offset and length are filled in
    // when the installer is built.
    kv::archive::Manifest manifest;
    std::vector<std::filesystem::path> sources;  // one per manifest.files entry
    std::filesystem::path stub;                  // the installer program image
    kv::archive::szdd::Level level = kv::archive::szdd::Level::Best;
    std::optional<SignCommand> sign;                // --sign, the sign key or KVPACK_SIGN
    ProductIdentity identity;                       // nothing given: the stub is packed unchanged
    std::optional<std::uint32_t> licenseTextColor;  // 0xRRGGBB for a licence that sets none
    std::vector<std::string> warnings;              // "demo.toml:14: file[2].iconName: ...", one per line
};

// Reads and checks a project file. Throws ToolError: kExitIoError when the project file cannot be
// read, kExitBadInput with one line per mistake ("demo.toml:14: file[2].iconName: ...") otherwise.
// [[setting]] and [[file]] tables are counted from 1 in messages, in the order the file lists them.
Project LoadProject(const std::filesystem::path& projectFile, const ProjectOverrides& overrides);

// The overrides that come from the environment (KVPACK_STUB, KVPACK_UNINSTALLER, KVPACK_SIGN,
// SOURCE_DATE_EPOCH).
ProjectOverrides OverridesFromEnvironment();

}  // namespace kv::tools

// kvpack winget: the manifests (version, installer, default locale) that describe a built installer
// to the winget package manager, from what the installer itself carries.
#include <cstdio>
#include <memory>
#include <sstream>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/product_identity.h"
#include "tools/kvpack/sha256.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

constexpr char kManifestVersion[] = "1.10.0";
constexpr char kLocale[] = "en-US";

struct WingetOptions {
    std::string installer;
    std::string url;
    std::string output;
    std::string license = "Proprietary";
};

// A YAML scalar in double quotes, which take every character once \ and " are escaped.
std::string Quoted(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// One part of the package identifier: no blanks, dots or characters winget refuses, 1 to 32 long.
std::string IdentifierPart(const std::string& utf8) {
    std::string part;
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || std::string_view(".\\/:*?\"<>|").find(c) != std::string_view::npos) continue;
        part += c;
    }
    while (part.size() > 32) {
        part.pop_back();
        while (!part.empty() && (static_cast<unsigned char>(part.back()) & 0xC0) == 0x80) part.pop_back();
    }
    return part;
}

// The winget name of the program image's processor.
std::string Architecture(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 0x40) return "neutral";
    const std::size_t peAt = bytes[0x3C] | bytes[0x3D] << 8 | bytes[0x3E] << 16 | std::size_t{bytes[0x3F]} << 24;
    if (peAt + 6 > bytes.size()) return "neutral";
    switch (bytes[peAt + 4] | bytes[peAt + 5] << 8) {
    case 0x014C:
        return "x86";
    case 0x8664:
        return "x64";
    case 0xAA64:
        return "arm64";
    }
    return "neutral";
}

std::string Header(const std::string& id, const std::string& version) {
    return "PackageIdentifier: " + Quoted(id) + "\nPackageVersion: " + Quoted(version) + "\n";
}

std::string Footer(const char* type) {
    return std::string("ManifestType: ") + type + "\nManifestVersion: " + kManifestVersion + "\n";
}

void Write(const std::filesystem::path& path, const std::string& schema, const std::string& text) {
    const std::string file = "# yaml-language-server: $schema=https://aka.ms/winget-manifest." + schema + "." +
                             kManifestVersion + ".schema.json\n" + text;
    WriteFileBytes(path, std::span(reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
}

int RunWinget(const WingetOptions& options) {
    const std::filesystem::path path = PathFromUtf8(options.installer);
    const LoadedInstaller installer = LoadInstaller(path);
    const auto& m = installer.opened.manifest;
    const ShownIdentity identity = ReadIdentity(
        std::span<const std::uint8_t>(installer.bytes).first(m.files.empty() ? 0 : m.files.front().offset));
    const auto text = [&](int id) { return identity.texts[static_cast<std::size_t>(id - 1)]; };
    const std::optional<std::string> publisher = text(KV_TEXT_PUBLISHER);
    const std::optional<std::string> version = text(KV_TEXT_VERSION);
    if (!publisher || !version) {
        throw ToolError(kExitBadInput, options.installer +
                                           ": carries no publisher or no version; build it with the publisher and "
                                           "version keys in the project");
    }
    if (!options.url.starts_with("https://") && !options.url.starts_with("http://")) {
        throw ToolError(kExitBadInput, "--url must be an http:// or https:// address of the installer");
    }
    const std::string name = AnsiToUtf8(m.displayName);
    const std::string id = IdentifierPart(*publisher) + "." + IdentifierPart(name);
    if (IdentifierPart(*publisher).empty() || IdentifierPart(name).empty()) {
        throw ToolError(kExitBadInput, options.installer +
                                           ": the publisher and the product name must each have a "
                                           "character other than blanks and dots for the identifier");
    }

    const std::filesystem::path folder = PathFromUtf8(options.output);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw ToolError(kExitIoError, options.output + ": " + ec.message());
    const std::string head = Header(id, *version);

    Write(folder / PathFromUtf8(id + ".yaml"), "version",
          head + "DefaultLocale: " + kLocale + "\n" + Footer("version"));

    std::ostringstream installerYaml;
    installerYaml << head << "InstallerType: exe\n"
                  << "Scope: machine\n"
                  << "InstallModes:\n- interactive\n- silent\n- silentWithProgress\n"
                  << "InstallerSwitches:\n"
                  << "  Silent: \"OptQ\"\n"
                  << "  SilentWithProgress: \"OptNP OptNL\"\n"
                  << "  Log: " << Quoted("OptLOG=\"<LOGPATH>\"") << "\n"
                  << "  InstallLocation: " << Quoted("OptDIR=\"<INSTALLPATH>\"") << "\n"
                  << "UpgradeBehavior: install\n"
                  << "ElevationRequirement: elevatesSelf\n"  // the program's manifest asks for administrator rights
                  << "ProductCode: " << Quoted(name) << "\n"
                  << "AppsAndFeaturesEntries:\n"
                  << "- DisplayName: " << Quoted(name) << "\n"
                  << "  Publisher: " << Quoted(*publisher) << "\n"
                  << "  DisplayVersion: " << Quoted(*version) << "\n"
                  << "  ProductCode: " << Quoted(name) << "\n"
                  << "Installers:\n"
                  << "- Architecture: " << Architecture(installer.bytes) << "\n"
                  << "  InstallerUrl: " << Quoted(options.url) << "\n"
                  << "  InstallerSha256: " << Sha256Hex(installer.bytes) << "\n"
                  << Footer("installer");
    Write(folder / PathFromUtf8(id + ".installer.yaml"), "installer", installerYaml.str());

    std::ostringstream locale;
    locale << head << "PackageLocale: " << kLocale << "\n"
           << "Publisher: " << Quoted(*publisher) << "\n"
           << "PackageName: " << Quoted(name) << "\n";
    if (const auto url = text(KV_TEXT_URL)) locale << "PackageUrl: " << Quoted(*url) << "\n";
    if (const auto help = text(KV_TEXT_HELP_LINK); help && help->starts_with("http"))
        locale << "PublisherSupportUrl: " << Quoted(*help) << "\n";
    locale << "License: " << Quoted(options.license) << "\n";
    if (const auto copyright = text(KV_TEXT_COPYRIGHT); copyright && copyright->size() >= 3)
        locale << "Copyright: " << Quoted(*copyright) << "\n";
    const std::string title = AnsiToUtf8(m.title);
    locale << "ShortDescription: " << Quoted(title.size() >= 3 ? title : name) << "\n" << Footer("defaultLocale");
    Write(folder / PathFromUtf8(id + ".locale." + kLocale + ".yaml"), "defaultLocale", locale.str());
    std::printf("%s: winget manifests for %s %s\n", options.output.c_str(), id.c_str(), version->c_str());
    return kExitOk;
}

}  // namespace

void AddWingetCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<WingetOptions>();
    CLI::App* sub = app.add_subcommand("winget", "Write the winget manifests of a built installer");
    sub->add_option("installer", options->installer, "Installer file")->required();
    sub->add_option("--url", options->url, "Where the installer can be downloaded (https://...)")->required();
    sub->add_option("-o,--output", options->output, "Folder for the three manifests")->required();
    sub->add_option("--license", options->license, "The licence's name in the manifest (default: Proprietary)");
    sub->footer("The installer must carry the publisher and version keys of its project.");
    sub->callback([options, &run] { run = [options] { return RunWinget(*options); }; });
}

}  // namespace kv::tools

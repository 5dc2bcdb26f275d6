// kvpack list: every header field, setting and file record of an installer, as a table or JSON.
#include <algorithm>
#include <iostream>
#include <memory>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_time.h"
#include "tools/kvpack/opened_installer.h"
#include "tools/kvpack/product_identity.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/json_writer.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

struct ListOptions {
    std::string installer;
    bool json = false;
};

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    for (const auto& row : rows) {
        std::string line = " ";
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += " " + row[c];
            if (c + 1 < row.size()) line += std::string(widths[c] - row[c].size(), ' ');
        }
        std::cout << line << "\n";
    }
}

std::string Shown(const std::string& ansi) { return "\"" + AnsiToUtf8(ansi) + "\""; }

// The product's texts and icon that kvpack put into the program image, read back from it.
ShownIdentity IdentityOf(const LoadedInstaller& installer) {
    const auto& m = installer.opened.manifest;
    const std::uint64_t imageEnd = m.files.empty() ? installer.opened.manifestStart : m.files.front().offset;
    return ReadIdentity(std::span<const std::uint8_t>(installer.bytes).first(static_cast<std::size_t>(imageEnd)));
}

std::string JoinedImages(const std::vector<std::string>& images) {
    std::string text;
    for (const std::string& image : images) text += (text.empty() ? "" : " ") + image;
    return text;
}

void PrintText(const ListOptions& options, const LoadedInstaller& installer) {
    const auto& opened = installer.opened;
    const auto& m = opened.manifest;
    const std::uint64_t imageEnd = m.files.empty() ? opened.manifestStart : m.files.front().offset;
    std::cout << options.installer << "\n";
    std::vector<std::vector<std::string>> layout = {
        {"file size", std::to_string(opened.fileSize) + " bytes"},
        {"program image", "0 .. " + Hex(imageEnd) + " (" + std::to_string(imageEnd) + " bytes)"},
        {"manifest",
         "at " + Hex(opened.manifestStart) + " (" + std::to_string(opened.trailer.manifestLength) + " bytes)"},
        {"trailer", "at " + Hex(opened.archiveEnd - 8)},
        {"checksum", Hex(opened.trailer.checksum) + " (matches)"},  // the reader refuses a file where it does not
    };
    if (const auto& table = opened.certificateTable) {
        layout.push_back({"signature", "certificate table at " + Hex(table->offset) + " (" +
                                           std::to_string(table->size) + " bytes; signature not checked)"});
    }
    PrintTable(layout);
    std::cout << "\nHeader\n";
    PrintTable({
        {"title", Shown(m.title)},
        {"displayName", Shown(m.displayName)},
        {"setupName", Shown(m.setupName)},
        {"defaultFolder", Shown(m.defaultFolder)},
        {"runFile", Shown(m.runFile)},
        {"programsFolder", Shown(m.programsFolder)},
        {"archiveDate", FormatIsoUtc(m.archiveDate) + " (" + Hex(m.archiveDate, 16) + ")"},
        {"uninstallerDate", FormatIsoUtc(m.uninstallerDate) + " (" + Hex(m.uninstallerDate, 16) + ")"},
    });
    const ShownIdentity identity = IdentityOf(installer);
    std::vector<std::vector<std::string>> product;
    for (int id = 1; id <= KV_TEXT_COUNT; ++id) {
        if (const auto& text = identity.texts[static_cast<std::size_t>(id - 1)])
            product.push_back({ProductTextKey(id), "\"" + *text + "\""});
    }
    product.push_back({"icon", identity.iconImages.empty() ? "none" : JoinedImages(identity.iconImages)});
    std::cout << "\nProduct (in the program image's resources)\n";
    PrintTable(product);
    std::cout << "\nSettings (" << m.settings.size() << ")\n";
    if (!m.settings.empty()) {
        std::vector<std::vector<std::string>> rows = {{"#", "iniFile", "section", "key", "numeric", "value"}};
        for (std::size_t i = 0; i < m.settings.size(); ++i) {
            const auto& s = m.settings[i];
            rows.push_back({std::to_string(i + 1), AnsiToUtf8(s.iniFile), AnsiToUtf8(s.section), AnsiToUtf8(s.key),
                            std::to_string(s.numeric), Shown(s.value)});
        }
        PrintTable(rows);
    }
    std::cout << "\nFiles (" << m.files.size() << ")\n";
    std::vector<std::vector<std::string>> rows = {
        {"#", "offset", "stored", "expanded", "desktop", "programs", "folder\\file", "exeparms", "iconName"}};
    for (std::size_t i = 0; i < m.files.size(); ++i) {
        const auto& f = m.files[i];
        const auto entry = EntryBytes(installer, f);
        rows.push_back({std::to_string(i + 1), Hex(f.offset), std::to_string(f.length),
                        std::to_string(ExpandedSize(entry)) + (IsCompressedEntry(entry) ? "" : " (as is)"),
                        std::to_string(f.desktopIcon), std::to_string(f.programsIcon),
                        AnsiToUtf8(f.folder.empty() ? f.file : f.folder + "\\" + f.file), Shown(f.exeparms),
                        Shown(f.iconName)});
    }
    PrintTable(rows);
}

void PrintJson(const LoadedInstaller& installer) {
    const auto& opened = installer.opened;
    const auto& m = opened.manifest;
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("fileSize", opened.fileSize);
    json.Field("programImageSize", m.files.empty() ? opened.manifestStart : std::uint64_t{m.files.front().offset});
    json.Field("manifestOffset", opened.manifestStart);
    json.Field("manifestLength", opened.trailer.manifestLength);
    json.Field("checksum", opened.trailer.checksum);
    json.Field("checksumMatches", true);  // the reader refuses a file where it does not
    json.Field("signed", opened.certificateTable.has_value());
    if (opened.certificateTable) {
        json.Field("certificateTableOffset", opened.certificateTable->offset);
        json.Field("certificateTableSize", opened.certificateTable->size);
    }
    json.Field("title", AnsiToUtf8(m.title));
    json.Field("displayName", AnsiToUtf8(m.displayName));
    json.Field("setupName", AnsiToUtf8(m.setupName));
    json.Field("defaultFolder", AnsiToUtf8(m.defaultFolder));
    json.Field("runFile", AnsiToUtf8(m.runFile));
    json.Field("programsFolder", AnsiToUtf8(m.programsFolder));
    json.Field("archiveDate", FormatIsoUtc(m.archiveDate));
    json.Field("archiveDateFileTime", m.archiveDate);
    json.Field("uninstallerDate", FormatIsoUtc(m.uninstallerDate));
    json.Field("uninstallerDateFileTime", m.uninstallerDate);
    const ShownIdentity identity = IdentityOf(installer);
    json.Key("product").BeginObject();
    for (int id = 1; id <= KV_TEXT_COUNT; ++id) {
        if (const auto& text = identity.texts[static_cast<std::size_t>(id - 1)]) json.Field(ProductTextKey(id), *text);
    }
    json.Key("icon").BeginArray();
    for (const std::string& image : identity.iconImages) json.String(image);
    json.EndArray();
    json.EndObject();
    json.Key("settings").BeginArray();
    for (const auto& s : m.settings) {
        json.BeginObject();
        json.Field("iniFile", AnsiToUtf8(s.iniFile));
        json.Field("section", AnsiToUtf8(s.section));
        json.Field("key", AnsiToUtf8(s.key));
        json.Field("value", AnsiToUtf8(s.value));
        json.Field("numeric", s.numeric);
        json.EndObject();
    }
    json.EndArray();
    json.Key("files").BeginArray();
    for (const auto& f : m.files) {
        const auto entry = EntryBytes(installer, f);
        json.BeginObject();
        json.Field("file", AnsiToUtf8(f.file));
        json.Field("folder", AnsiToUtf8(f.folder));
        json.Field("exeparms", AnsiToUtf8(f.exeparms));
        json.Field("desktopIcon", f.desktopIcon);
        json.Field("programsIcon", f.programsIcon);
        json.Field("iconName", AnsiToUtf8(f.iconName));
        json.Field("offset", f.offset);
        json.Field("length", f.length);
        json.Field("expandedSize", ExpandedSize(entry));
        json.Field("compressed", IsCompressedEntry(entry));
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

int RunList(const ListOptions& options) {
    const LoadedInstaller installer = LoadInstaller(PathFromUtf8(options.installer));
    if (options.json) {
        PrintJson(installer);
    } else {
        PrintText(options, installer);
    }
    return kExitOk;
}

}  // namespace

void AddListCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<ListOptions>();
    CLI::App* sub = app.add_subcommand("list", "Show every header field, setting and file record of an installer");
    sub->add_option("installer", options->installer, "Installer file")->required();
    sub->add_flag("--json", options->json, "Print JSON instead of a table");
    sub->callback([options, &run] { run = [options] { return RunList(*options); }; });
}

}  // namespace kv::tools

// kvpack log: the records of an uninstall data file (Kvuninstall.dat) as a table or JSON, decoded
// with the same reader as the installer's and the uninstaller's.
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/command.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/json_writer.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"
#include "uninstall/log_format.h"

namespace kv::tools {
namespace {

using kv::uninstall::UninstallRecord;

// The record the uninstaller would refuse, among the whole records.
std::optional<kv::uninstall::Damage> FirstDamage(const kv::uninstall::DecodedLog& log) {
    const auto whole = log.Complete();
    return kv::uninstall::FirstDamage(std::vector<UninstallRecord>(whole.begin(), whole.end()));
}

struct LogOptions {
    std::string dataFile;
    bool json = false;
};

std::string KindName(const UninstallRecord& record) {
    switch (record.kind) {
    case kv::uninstall::kKindFile:
        return "file";
    case kv::uninstall::kKindShortcut:
        return "shortcut";
    case kv::uninstall::kKindProduct:
        return "product";
    default:
        return "kind " + std::to_string(record.kind);
    }
}

std::string LocationName(const UninstallRecord& record) {
    if (record.kind != kv::uninstall::kKindShortcut) return "";
    if (record.location == kv::uninstall::kLocationDesktop) return "desktop";
    if (record.location == kv::uninstall::kLocationPrograms) return "programs";
    return std::to_string(record.location);
}

void PrintText(const LogOptions& options, const kv::uninstall::DecodedLog& log, std::size_t size) {
    std::cout << options.dataFile << ": " << log.records.size() << " records, " << size << " bytes\n";
    std::size_t number = 0;
    for (const auto& record : log.records) {
        std::string line = "  " + std::to_string(++number) + "  " + KindName(record);
        if (record.kind == kv::uninstall::kKindShortcut) {
            line += " " + LocationName(record);
            if (record.location == kv::uninstall::kLocationPrograms)
                line += " \"" + AnsiToUtf8(record.menuFolder) + "\"";
        }
        line += " \"" + AnsiToUtf8(record.text) + "\"";
        std::cout << line << "\n";
    }
    if (log.truncated) {
        std::cout << "truncated: the file ends inside record " << log.records.size()
                  << " (shown with what was read; the installer cuts it off and the uninstaller ignores it)\n";
    }
    if (const auto damage = FirstDamage(log)) {
        std::cout << "damaged: record " << damage->record << " has an unknown "
                  << (damage->kind == kv::uninstall::DamageKind::UnknownKind ? "kind " : "shortcut location ")
                  << damage->value << " (the uninstaller refuses this file)\n";
    }
}

void PrintJson(const LogOptions& options, const kv::uninstall::DecodedLog& log, std::size_t size) {
    JsonWriter json(std::cout);
    json.BeginObject();
    json.Field("file", options.dataFile);
    json.Field("size", size);
    json.Field("truncated", log.truncated);
    json.Field("damaged", FirstDamage(log).has_value());
    json.Key("records").BeginArray();
    for (const auto& record : log.records) {
        json.BeginObject();
        json.Field("kind", KindName(record));
        json.Field("kindByte", record.kind);
        if (record.kind == kv::uninstall::kKindShortcut) {
            json.Field("location", LocationName(record));
            json.Field("menuFolder", AnsiToUtf8(record.menuFolder));
        }
        json.Field("text", AnsiToUtf8(record.text));
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    std::cout << "\n";
}

int RunLog(const LogOptions& options) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(PathFromUtf8(options.dataFile), "data file");
    const kv::uninstall::DecodedLog log = kv::uninstall::DecodeRecords(bytes);
    if (options.json) {
        PrintJson(options, log, bytes.size());
    } else {
        PrintText(options, log, bytes.size());
    }
    // The verdict is the uninstaller's: a file cut short inside its last record is usable (the
    // installer cuts that record off, the uninstaller reads the whole ones before it) and only noted;
    // a record it would refuse makes the file damaged.
    return FirstDamage(log) ? kExitCorrupt : kExitOk;
}

}  // namespace

void AddLogCommand(CLI::App& app, CommandRunner& run) {
    auto options = std::make_shared<LogOptions>();
    CLI::App* sub = app.add_subcommand("log", "Decode an uninstall data file (Kvuninstall.dat) into its records");
    sub->add_option("datafile", options->dataFile, "FOLDER/Kvuninstall.dat")->required();
    sub->add_flag("--json", options->json, "Print JSON instead of a list");
    sub->callback([options, &run] { run = [options] { return RunLog(*options); }; });
}

}  // namespace kv::tools

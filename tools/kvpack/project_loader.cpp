// Reads a kvpack project file (TOML) and checks every field against the installer format's limits
// and record conventions, reporting each mistake with file, line and field.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string_view>

#include <toml++/toml.h>

#include "archive/ascii_case.h"
#include "archive/format.h"
#include "archive/names.h"
#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/file_io.h"
#include "tools/kvpack/file_time.h"
#include "tools/kvpack/project.h"
#include "tools/kvpack/project_identity.h"
#include "tools/kvpack/project_tree.h"
#include "tools/kvpack/record_rules.h"
#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"
#include "uninstall/log_format.h"

namespace kv::tools {
namespace {

namespace fs = std::filesystem;
using kv::archive::EqualsIgnoringCase;
using kv::archive::FileRecord;
using kv::archive::LowerAscii;
using kv::archive::SettingRecord;

constexpr std::string_view kHeaderKeys[] = {"title",   "displayName",    "setupName",   "defaultFolder",
                                            "runFile", "programsFolder", "archiveDate", "uninstallerDate",
                                            "stub",    "uninstaller",    "compression", "sign",
                                            "setting", "file",           "tree"};
constexpr std::string_view kSettingKeys[] = {"iniFile", "section", "key", "value", "numeric"};
constexpr std::string_view kFileKeys[] = {"source",      "file",         "folder",  "exeparms",
                                          "desktopIcon", "programsIcon", "iconName"};
constexpr std::string_view kTreeKeys[] = {"source", "folder"};

// Letters to insert, delete or change to turn one word into the other, for "did you mean" hints.
std::size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string Quoted(std::string_view text) { return "\"" + AnsiToUtf8(text) + "\""; }

// A date the project gives: a fixed time, the wall clock, or nothing (then a reproducible default).
struct DateSpec {
    std::optional<FileTime> fixed;
    bool now = false;
    bool given() const { return fixed || now; }
};

class ProjectLoader {
public:
    ProjectLoader(fs::path projectFile, const ProjectOverrides& overrides)
        : m_path(std::move(projectFile)), m_name(m_path.string()), m_overrides(overrides) {
        m_folder = m_path.parent_path();
    }

    Project Load() {
        const std::vector<std::uint8_t> bytes = ReadFileBytes(m_path, "project");
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        toml::table root;
        try {
            root = toml::parse(text, m_name);
        } catch (const toml::parse_error& error) {
            throw ToolError(kExitBadInput, m_name + ":" + std::to_string(error.source().begin.line) +
                                               ": syntax: " + std::string(error.description()));
        }
        m_root = &root;
        ReadHeader(root);
        ReadIdentity(root);
        ReadSettings(root);
        ReadFiles(root);
        ReadTrees(root);
        if (m_files.empty() && !m_filesMalformed)
            Error(nullptr, "file", "at least one [[file]] or [[tree]] is required");
        ResolveUninstaller(root);
        CheckRunFile(root);
        CheckDuplicateTargets();
        ResolveStub(root);
        ResolveSign(root);
        ResolveDates();
        if (!m_errors.empty()) {
            std::string message;
            for (const std::string& line : m_errors) message += (message.empty() ? "" : "\n") + line;
            throw ToolError(kExitBadInput, message);
        }
        return std::move(m_project);
    }

private:
    struct PendingFile {
        FileRecord record;
        fs::path source;
        std::string field;  // "file[2]"
        const toml::table* table = nullptr;
    };

    std::string Where(const toml::node* node) const {
        std::string where = m_name;
        // The root table has no line of its own worth naming (a missing top-level key).
        if (node != nullptr && node != m_root && node->source().begin.line > 0)
            where += ":" + std::to_string(node->source().begin.line);
        return where;
    }

    void Error(const toml::node* node, const std::string& field, const std::string& message) {
        m_errors.push_back(Where(node) + ": " + field + ": " + message);
    }

    void Warning(const toml::node* node, const std::string& field, const std::string& message) {
        m_project.warnings.push_back(Where(node) + ": " + field + ": " + message);
    }

    void ReadIdentity(const toml::table& root) {
        IdentityReading reading;
        reading.text = [&](std::string_view key, std::size_t limit) {
            return String(root, key, std::string(key), limit, false, true);
        };
        reading.error = [&](const toml::node* node, const std::string& field, const std::string& message) {
            Error(node, field, message);
        };
        reading.resolvePath = [&](std::string_view text) { return ResolvePath(text); };
        ProjectIdentityKeys keys = ReadIdentityKeys(root, reading);
        m_project.identity = std::move(keys.identity);
        m_project.licenseTextColor = keys.licenseTextColor;
    }

    void CheckKeys(const toml::table& table, std::span<const std::string_view> allowed, const std::string& prefix) {
        for (auto&& [key, node] : table) {
            bool known = false;
            for (std::string_view name : allowed) known = known || key.str() == name;
            if (!known) {
                std::string hint;
                for (std::string_view name : allowed) {
                    if (EditDistance(LowerAscii(name), LowerAscii(key.str())) <= 2)
                        hint = " (did you mean " + std::string(name) + "?)";
                }
                Error(&node, prefix + std::string(key.str()), "unknown key" + hint);
            }
        }
    }

    // A string field: converted to the 8-bit code page and checked against its limit. Empty optional
    // when it is missing (and `required` is false) or wrong, after reporting what is wrong.
    std::optional<std::string> String(const toml::table& table, std::string_view key, const std::string& field,
                                      std::size_t limit, bool required, bool nonEmpty = false) {
        const toml::node* node = table.get(key);
        if (node == nullptr) {
            if (required) Error(&table, field, "required");
            return std::nullopt;
        }
        const auto* value = node->as_string();
        if (value == nullptr) {
            Error(node, field, "must be a string");
            return std::nullopt;
        }
        return CheckText(node, value->get(), field, limit, nonEmpty);
    }

    std::optional<std::string> CheckText(const toml::node* node, std::string_view utf8, const std::string& field,
                                         std::size_t limit, bool nonEmpty) {
        std::string bad;
        std::optional<std::string> ansi = Utf8ToAnsi(utf8, &bad);
        if (!ansi) {
            Error(node, field, "character \"" + bad + "\" has no place in the Windows-1252 code page");
            return std::nullopt;
        }
        if (ansi->find('\0') != std::string::npos) {
            Error(node, field, "must not contain a zero character");
            return std::nullopt;
        }
        if (ansi->size() > limit) {
            Error(node, field, std::to_string(ansi->size()) + " characters, the limit is " + std::to_string(limit));
            return std::nullopt;
        }
        if (nonEmpty && ansi->empty()) {
            Error(node, field, "must not be empty");
            return std::nullopt;
        }
        return ansi;
    }

    // A flag: true/false or the integers 0 and 1.
    std::uint32_t Flag(const toml::table& table, std::string_view key, const std::string& field) {
        const toml::node* node = table.get(key);
        if (node == nullptr) return 0;
        if (const auto* b = node->as_boolean()) return b->get() ? 1 : 0;
        if (const auto* i = node->as_integer(); i != nullptr && (i->get() == 0 || i->get() == 1)) {
            return static_cast<std::uint32_t>(i->get());
        }
        Error(node, field, "must be true, false, 0 or 1");
        return 0;
    }

    DateSpec Date(const toml::table& table, std::string_view key) {
        const std::string field(key);
        const toml::node* node = table.get(key);
        if (node == nullptr) return {};
        if (const auto* text = node->as_string()) {
            if (text->get() == "now") return {std::nullopt, true};
            if (auto time = ParseIsoUtc(text->get())) return {time, false};
            Error(node, field,
                  "\"" + text->get() + "\" is not an ISO-8601 UTC time like \"2026-12-01T12:00:00Z\" or \"now\"");
            return {};
        }
        if (const auto* native = node->as_date_time()) {
            const toml::date_time& dt = native->get();
            if (!dt.offset) {
                Error(node, field, "a local time depends on the machine: add Z or an offset");
                return {};
            }
            const std::int64_t seconds = DaysFromCivil(dt.date.year, dt.date.month, dt.date.day) * 86400 +
                                         dt.time.hour * 3600 + dt.time.minute * 60 + dt.time.second -
                                         dt.offset->minutes * 60;
            if (auto time = FileTimeFromUnix(seconds, dt.time.nanosecond)) return {time, false};
            Error(node, field, "lies before 1601, which a file time cannot hold");
            return {};
        }
        Error(node, field, "must be an ISO-8601 UTC time like \"2026-12-01T12:00:00Z\" or \"now\"");
        return {};
    }

    void ReadHeader(const toml::table& root) {
        using namespace kv::archive;
        std::vector<std::string_view> headerKeys(std::begin(kHeaderKeys), std::end(kHeaderKeys));
        headerKeys.insert(headerKeys.end(), IdentityKeys().begin(), IdentityKeys().end());
        CheckKeys(root, headerKeys, "");
        Manifest& m = m_project.manifest;
        m.title = String(root, "title", "title", kTitleLimit, true, true).value_or("");
        if (auto name = String(root, "displayName", "displayName", kDisplayNameLimit, true, true)) {
            // The name becomes one registry subkey under the uninstall key; a backslash would nest it.
            if (name->find('\\') != std::string::npos) {
                Error(root.get("displayName"), "displayName", "must not contain a backslash (it names a registry key)");
            }
            // It must come back unchanged from the uninstaller's command line.
            switch (ProductNameFaultOf(*name)) {
            case ProductNameFault::EdgeBlank:
                Error(root.get("displayName"), "displayName", "must not begin or end with a blank");
                break;
            case ProductNameFault::Quote:
                Error(root.get("displayName"), "displayName", "must not contain a double quote");
                break;
            case ProductNameFault::QuietWord:
                Error(root.get("displayName"), "displayName", "must not contain the word /S (the quiet switch)");
                break;
            case ProductNameFault::None:
                break;
            }
            m.displayName = *name;
        }
        if (auto name = String(root, "setupName", "setupName", kPathLimit, true)) {
            if (auto problem = FileNameProblem(*name)) Error(root.get("setupName"), "setupName", *problem);
            m.setupName = *name;
        }
        m.defaultFolder = String(root, "defaultFolder", "defaultFolder", kPathLimit, true).value_or("");
        m.runFile = String(root, "runFile", "runFile", kPathLimit, false).value_or("");
        if (auto folder = String(root, "programsFolder", "programsFolder", kProgramsFolderLimit, false)) {
            if (auto problem = MenuFolderProblem(*folder))
                Error(root.get("programsFolder"), "programsFolder", *problem);
            m.programsFolder = *folder;
        }
        m_archiveDate = Date(root, "archiveDate");
        m_uninstallerDate = Date(root, "uninstallerDate");

        m_project.level = kv::archive::szdd::Level::Best;
        if (const toml::node* node = root.get("compression")) {
            const auto* text = node->as_string();
            if (text != nullptr && text->get() == "fast") {
                m_project.level = kv::archive::szdd::Level::Fast;
            } else if (text == nullptr || text->get() != "best") {
                Error(node, "compression", "must be \"best\" or \"fast\"");
            }
        }
        if (m_overrides.fast) m_project.level = kv::archive::szdd::Level::Fast;
    }

    const toml::array* TableArray(const toml::table& root, std::string_view key) {
        const toml::node* node = root.get(key);
        if (node == nullptr) return nullptr;
        const toml::array* array = node->as_array();
        if (array == nullptr || !array->is_array_of_tables()) {
            Error(node, std::string(key), "must be a list of tables: write [[" + std::string(key) + "]]");
            return nullptr;
        }
        return array;
    }

    void ReadSettings(const toml::table& root) {
        using namespace kv::archive;
        const toml::array* array = TableArray(root, "setting");
        if (array == nullptr) return;
        for (std::size_t i = 0; i < array->size(); ++i) {
            const toml::table& table = *array->get(i)->as_table();
            const std::string prefix = "setting[" + std::to_string(i + 1) + "].";
            CheckKeys(table, kSettingKeys, prefix);
            SettingRecord setting;
            if (auto ini = String(table, "iniFile", prefix + "iniFile", kShortFieldLimit, true)) {
                // The profile file is joined to the Windows directory; a path would write elsewhere.
                if (auto problem = FileNameProblem(*ini)) Error(table.get("iniFile"), prefix + "iniFile", *problem);
                setting.iniFile = *ini;
            }
            setting.section = String(table, "section", prefix + "section", kShortFieldLimit, true, true).value_or("");
            setting.key = String(table, "key", prefix + "key", kShortFieldLimit, true, true).value_or("");
            setting.numeric = Numeric(table, prefix + "numeric");
            const toml::node* valueNode = table.get("value");
            if (valueNode == nullptr) {
                Error(&table, prefix + "value", "required");
            } else if (const auto* integer = valueNode->as_integer()) {
                setting.value = std::to_string(integer->get());
            } else if (const auto* text = valueNode->as_string()) {
                setting.value = CheckText(valueNode, text->get(), prefix + "value", kPathLimit, false).value_or("");
                if (setting.numeric != 0 && !IsInteger(setting.value)) {
                    Error(valueNode, prefix + "value", "a numeric setting needs an integer value");
                }
            } else {
                Error(valueNode, prefix + "value", "must be a string or an integer");
            }
            m_project.manifest.settings.push_back(std::move(setting));
        }
    }

    std::uint32_t Numeric(const toml::table& table, const std::string& field) {
        const toml::node* node = table.get("numeric");
        if (node == nullptr) return 0;
        if (const auto* b = node->as_boolean()) return b->get() ? 1 : 0;
        if (const auto* i = node->as_integer(); i != nullptr && i->get() >= 0 && i->get() <= 0xFFFFFFFFll) {
            return static_cast<std::uint32_t>(i->get());
        }
        Error(node, field, "must be true, false or an integer from 0 to 4294967295");
        return 0;
    }

    static bool IsInteger(std::string_view text) {
        if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
        if (text.empty()) return false;
        for (char c : text) {
            if (c < '0' || c > '9') return false;
        }
        return true;
    }

    void ReadFiles(const toml::table& root) {
        using namespace kv::archive;
        const toml::array* array = TableArray(root, "file");
        if (array == nullptr) {
            m_filesMalformed = root.get("file") != nullptr;
            return;
        }
        for (std::size_t i = 0; i < array->size(); ++i) {
            const toml::table& table = *array->get(i)->as_table();
            PendingFile pending;
            pending.field = "file[" + std::to_string(i + 1) + "]";
            pending.table = &table;
            const std::string prefix = pending.field + ".";
            CheckKeys(table, kFileKeys, prefix);
            FileRecord& r = pending.record;
            if (const toml::node* node = table.get("source")) {
                if (const auto* text = node->as_string(); text != nullptr && !text->get().empty()) {
                    pending.source = ResolvePath(text->get());
                    std::error_code ec;
                    if (!fs::exists(pending.source, ec)) {
                        Error(node, prefix + "source", "no such file: " + pending.source.string());
                    } else if (!fs::is_regular_file(pending.source, ec)) {
                        Error(node, prefix + "source", "not a regular file: " + pending.source.string());
                    }
                    // The record's name defaults to the source's own file name.
                    r.file = CheckText(node, PathToUtf8(PathFromUtf8(text->get()).filename()), prefix + "file",
                                       kPathLimit, false)
                                 .value_or("");
                } else {
                    Error(node, prefix + "source", "must be a non-empty path");
                }
            } else {
                Error(&table, prefix + "source", "required");
            }
            if (table.get("file") != nullptr)
                r.file = String(table, "file", prefix + "file", kPathLimit, false).value_or("");
            if (!r.file.empty() || table.get("file") != nullptr) {
                if (auto problem = FileNameProblem(r.file))
                    Error(NodeOr(table, "file", "source"), prefix + "file", *problem);
            }
            if (auto folder = String(table, "folder", prefix + "folder", kPathLimit, false)) {
                if (auto problem = FolderProblem(*folder)) Error(table.get("folder"), prefix + "folder", *problem);
                r.folder = *folder;
            }
            r.exeparms = String(table, "exeparms", prefix + "exeparms", kShortFieldLimit, false).value_or("");
            r.desktopIcon = Flag(table, "desktopIcon", prefix + "desktopIcon");
            r.programsIcon = Flag(table, "programsIcon", prefix + "programsIcon");
            r.iconName = String(table, "iconName", prefix + "iconName", kShortFieldLimit, false).value_or("");
            const bool shortcut = r.desktopIcon != 0 || r.programsIcon != 0;
            if (shortcut && r.iconName.empty()) {
                Error(NodeOr(table, r.desktopIcon != 0 ? "desktopIcon" : "programsIcon", ""), prefix + "iconName",
                      "required when desktopIcon or programsIcon is set");
            } else if (!shortcut && !r.iconName.empty()) {
                Error(table.get("iconName"), prefix + "iconName",
                      "given but no shortcut is asked for (set desktopIcon or programsIcon, or drop it)");
            } else if (shortcut) {
                if (auto problem = IconNameProblem(r.iconName))
                    Error(table.get("iconName"), prefix + "iconName", *problem);
                else if (const auto dot = r.iconName.find('.'); dot != std::string::npos)
                    Warning(table.get("iconName"), prefix + "iconName",
                            "the shortcut file is named " + Quoted(r.iconName.substr(0, dot) + ".lnk") +
                                ": the text from the first \".\" on is left out of it");
            }
            m_files.push_back(std::move(pending));
        }
    }

    // Each [[tree]] adds one record per file below its source folder, after the [[file]] records,
    // in the trees' order and each tree in ListTreeFiles's order.
    void ReadTrees(const toml::table& root) {
        const toml::array* array = TableArray(root, "tree");
        if (array == nullptr) return;
        for (std::size_t i = 0; i < array->size(); ++i) {
            const toml::table& table = *array->get(i)->as_table();
            const std::string prefix = "tree[" + std::to_string(i + 1) + "].";
            CheckKeys(table, kTreeKeys, prefix);
            // The records' folders are checked whole below; the base is kept in UTF-8 to join them.
            std::string base;
            if (String(table, "folder", prefix + "folder", kv::archive::kPathLimit, false))
                base = table.get("folder")->as_string()->get();
            while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
            const toml::node* node = table.get("source");
            const auto* text = node != nullptr ? node->as_string() : nullptr;
            if (text == nullptr || text->get().empty()) {
                Error(node != nullptr ? node : &table, prefix + "source", "required: a source folder");
                continue;
            }
            const fs::path top = ResolvePath(text->get());
            std::error_code ec;
            if (!fs::is_directory(top, ec)) {
                Error(node, prefix + "source", "not a folder: " + top.string());
                continue;
            }
            const std::vector<TreeFile> files = ListTreeFiles(top, ec);
            if (ec) {
                Error(node, prefix + "source", top.string() + ": " + ec.message());
                continue;
            }
            if (files.empty()) Error(node, prefix + "source", "the folder holds no files: " + top.string());
            for (const TreeFile& file : files) AddTreeFile(table, "tree[" + std::to_string(i + 1) + "]", file, base);
        }
    }

    // A tree's record is named in messages by the tree and its path: tree[1] "docs\en\a.txt".
    void AddTreeFile(const toml::table& table, const std::string& tree, const TreeFile& file, const std::string& base) {
        const toml::node* node = table.get("source");
        std::string relative;
        for (const std::string& level : file.levels) relative += level + "\\";
        relative += file.name;
        PendingFile pending;
        pending.field = tree + " \"" + relative + "\"";
        pending.source = file.source;
        pending.table = &table;
        std::string utf8Folder = base;
        for (const std::string& level : file.levels) utf8Folder += (utf8Folder.empty() ? "" : "\\") + level;
        FileRecord& r = pending.record;
        if (auto name = CheckText(node, file.name, pending.field + " file", kv::archive::kPathLimit, false)) {
            if (auto problem = FileNameProblem(*name)) Error(node, pending.field + " file", *problem);
            r.file = *name;
        }
        if (auto folder = CheckText(node, utf8Folder, pending.field + " folder", kv::archive::kPathLimit, false)) {
            if (auto problem = FolderProblem(*folder)) Error(node, pending.field + " folder", *problem);
            r.folder = *folder;
        }
        m_files.push_back(std::move(pending));
    }

    // The node of `key`, else of `fallback`, else the table itself: the best line for a message.
    static const toml::node* NodeOr(const toml::table& table, std::string_view key, std::string_view fallback) {
        if (const toml::node* node = table.get(key)) return node;
        if (!fallback.empty()) {
            if (const toml::node* node = table.get(fallback)) return node;
        }
        return &table;
    }

    fs::path ResolvePath(std::string_view text) const {
        const fs::path path = PathFromUtf8(text);
        return path.is_absolute() ? path : m_folder / path;
    }

    void ResolveUninstaller(const toml::table& root) {
        const std::string uninstallerName = kv::archive::kUninstallerName;
        std::optional<fs::path> given;
        const toml::node* keyNode = root.get("uninstaller");
        if (m_overrides.uninstaller) {
            given = *m_overrides.uninstaller;
        } else if (keyNode != nullptr) {
            const auto* text = keyNode->as_string();
            if (text == nullptr || text->get().empty()) {
                Error(keyNode, "uninstaller", "must be a non-empty path");
                return;
            }
            given = ResolvePath(text->get());
        }
        const PendingFile* first = m_files.empty() ? nullptr : &m_files.front();
        const bool firstIsUninstaller = first != nullptr && EqualsIgnoringCase(first->record.file, uninstallerName);
        // KVPACK_UNINSTALLER is a default for the machine: a project that lists the uninstaller
        // itself keeps its own; --uninstaller and the uninstaller key are explicit and may not clash.
        if (!given && !firstIsUninstaller && m_overrides.envUninstaller && !m_overrides.envUninstaller->empty()) {
            given = PathFromUtf8(*m_overrides.envUninstaller);
        }
        if (given) {
            if (firstIsUninstaller) {
                Error(NodeOr(*first->table, "file", "source"), first->field + ".file",
                      uninstallerName + " is given twice: as the uninstaller (" + given->string() +
                          ") and as this record; keep one");
                return;
            }
            std::error_code ec;
            if (!fs::is_regular_file(*given, ec)) {
                Error(m_overrides.uninstaller ? nullptr : keyNode, "uninstaller", "no such file: " + given->string());
            }
            PendingFile uninstaller;
            uninstaller.record.file = uninstallerName;
            uninstaller.source = *given;
            uninstaller.field = "uninstaller";
            m_files.insert(m_files.begin(), std::move(uninstaller));
            return;
        }
        if (first == nullptr) return;  // "at least one [[file]]" is already reported
        const std::string how =
            "give it with --uninstaller FILE, the uninstaller key or KVPACK_UNINSTALLER, "
            "or list it as the first [[file]]";
        if (!firstIsUninstaller) {
            Error(first->table, first->field + ".file",
                  "the first file must be the uninstaller " + uninstallerName + " with an empty folder: " + how);
            return;
        }
        switch (kv::archive::UninstallerRecordFault(first->record)) {
        case kv::archive::UninstallerFault::Name:
            Error(NodeOr(*first->table, "file", "source"), first->field + ".file",
                  "the uninstaller must be named exactly " + uninstallerName);
            break;
        case kv::archive::UninstallerFault::Folder:
            Error(first->table->get("folder"), first->field + ".folder",
                  "the uninstaller must have an empty folder (it goes to the Windows directory)");
            break;
        case kv::archive::UninstallerFault::None:
            // The builder's own rule, on top of the shared one.
            if (first->record.desktopIcon != 0 || first->record.programsIcon != 0) {
                Error(first->table, first->field, "the uninstaller gets no shortcuts");
            }
            break;
        }
    }

    void CheckRunFile(const toml::table& root) {
        const std::string& runFile = m_project.manifest.runFile;
        if (runFile.empty()) return;
        for (const PendingFile& f : m_files) {
            if (f.record.file == runFile) return;
        }
        std::string hint;
        for (const PendingFile& f : m_files) {
            if (EqualsIgnoringCase(f.record.file, runFile)) {
                hint = " (the names are compared case-sensitively: " + f.field + " is " + Quoted(f.record.file) + ")";
            }
        }
        Error(root.get("runFile"), "runFile", Quoted(runFile) + " names no listed file" + hint);
    }

    // Two records with the same target would overwrite each other; Windows names ignore case.
    void CheckDuplicateTargets() {
        std::map<std::string, const PendingFile*> seen;
        for (const PendingFile& f : m_files) {
            if (f.record.file.empty()) continue;
            const std::string target = f.record.folder.empty() ? f.record.file : f.record.folder + "\\" + f.record.file;
            // Compared as the installer and Windows compare paths: letter case and separators do not count.
            auto [it, inserted] = seen.emplace(kv::uninstall::ComparablePath(target), &f);
            if (!inserted) {
                const toml::node* node = f.table ? NodeOr(*f.table, "file", "source") : nullptr;
                Error(node, f.field + ".file",
                      "installs to the same place as " + it->second->field + " (" + AnsiToUtf8(target) + ")");
            }
        }
    }

    void ResolveStub(const toml::table& root) {
        if (m_overrides.stub) {
            m_project.stub = *m_overrides.stub;
        } else if (const toml::node* node = root.get("stub")) {
            const auto* text = node->as_string();
            if (text == nullptr || text->get().empty()) {
                Error(node, "stub", "must be a non-empty path");
                return;
            }
            m_project.stub = ResolvePath(text->get());
        } else if (m_overrides.envStub && !m_overrides.envStub->empty()) {
            m_project.stub = PathFromUtf8(*m_overrides.envStub);
        } else {
            Error(nullptr, "stub", "no installer program given: use --stub FILE, the stub key or KVPACK_STUB");
        }
    }

    void ResolveSign(const toml::table& root) {
        const toml::node* node = m_overrides.sign ? nullptr : root.get("sign");
        std::optional<std::string> command = m_overrides.sign;
        if (node != nullptr) {
            const auto* text = node->as_string();
            if (text == nullptr) {
                Error(node, "sign", "must be a command line");
                return;
            }
            command = text->get();
        } else if (!command) {
            command = m_overrides.envSign;
        }
        if (!command || command->empty()) return;
        if (command->find("{in}") == std::string::npos || command->find("{out}") == std::string::npos) {
            Error(node, "sign", "must name the file to sign as {in} and the signed file as {out}");
            return;
        }
        // A command from the project file runs in its folder, so its paths read like the project's own.
        const fs::path folder = node != nullptr && !m_folder.empty() ? fs::absolute(m_folder) : fs::current_path();
        m_project.sign = SignCommand{*command, folder};
    }

    void ResolveDates() {
        using namespace std::chrono;
        if (!m_errors.empty()) return;  // the sources may not exist
        const auto wallClock = [] {
            const auto since = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
            return *FileTimeFromUnix(since / 1'000'000'000, static_cast<std::uint32_t>(since % 1'000'000'000));
        };
        FileTime archiveDate = 0;
        if (m_archiveDate.now) {
            archiveDate = wallClock();
        } else if (m_archiveDate.fixed) {
            archiveDate = *m_archiveDate.fixed;
        } else {
            archiveDate = DefaultDate();
        }
        FileTime uninstallerDate = archiveDate;
        if (m_uninstallerDate.now) {
            uninstallerDate = wallClock();
        } else if (m_uninstallerDate.fixed) {
            uninstallerDate = *m_uninstallerDate.fixed;
        }
        m_project.manifest.archiveDate = archiveDate;
        m_project.manifest.uninstallerDate = uninstallerDate;
        for (PendingFile& f : m_files) {
            m_project.manifest.files.push_back(std::move(f.record));
            m_project.sources.push_back(std::move(f.source));
        }
    }

    // A date left out is SOURCE_DATE_EPOCH when set, else the newest modification time among the
    // sources: both are the same for the same inputs, so two builds give the same bytes, and the
    // date still moves forward when a source changes.
    FileTime DefaultDate() {
        if (m_overrides.sourceDateEpoch && !m_overrides.sourceDateEpoch->empty()) {
            const std::string& text = *m_overrides.sourceDateEpoch;
            char* end = nullptr;
            errno = 0;
            const long long seconds = std::strtoll(text.c_str(), &end, 10);
            std::optional<FileTime> time;
            if (errno == 0 && end != nullptr && *end == '\0' && IsInteger(text)) time = FileTimeFromUnix(seconds);
            if (!time) {
                Error(nullptr, "archiveDate",
                      "SOURCE_DATE_EPOCH=\"" + text + "\" is not a count of seconds since 1970");
                return 0;
            }
            return *time;
        }
        FileTime newest = 0;
        for (const PendingFile& f : m_files) {
            std::error_code ec;
            const auto written = fs::last_write_time(f.source, ec);
            if (ec) continue;
            const auto since = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                   std::chrono::file_clock::to_sys(written).time_since_epoch())
                                   .count();
            long long seconds = since / 1'000'000'000;
            long long nanos = since % 1'000'000'000;
            if (nanos < 0) {
                nanos += 1'000'000'000;
                --seconds;
            }
            if (auto time = FileTimeFromUnix(seconds, static_cast<std::uint32_t>(nanos)))
                newest = std::max(newest, *time);
        }
        return newest;
    }

    fs::path m_path;
    std::string m_name;
    fs::path m_folder;
    const ProjectOverrides& m_overrides;
    Project m_project;
    std::vector<PendingFile> m_files;
    bool m_filesMalformed = false;  // `file` is there but not a list of tables, which says so itself
    DateSpec m_archiveDate;
    DateSpec m_uninstallerDate;
    std::vector<std::string> m_errors;
    const toml::node* m_root = nullptr;
};

}  // namespace

Project LoadProject(const std::filesystem::path& projectFile, const ProjectOverrides& overrides) {
    return ProjectLoader(projectFile, overrides).Load();
}

ProjectOverrides OverridesFromEnvironment() {
    ProjectOverrides overrides;
    overrides.envStub = Utf8Environment("KVPACK_STUB");
    overrides.envUninstaller = Utf8Environment("KVPACK_UNINSTALLER");
    overrides.envSign = Utf8Environment("KVPACK_SIGN");
    overrides.sourceDateEpoch = Utf8Environment("SOURCE_DATE_EPOCH");
    return overrides;
}

}  // namespace kv::tools

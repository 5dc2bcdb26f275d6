// Reading and writing the Manifest block: every field in order, with the limits and path rules that
// keep a damaged or hostile manifest from reaching the installation run.
#include "archive/manifest_io.h"

#include <climits>
#include <string>
#include <string_view>

#include "archive/byte_reader.h"

namespace kv::archive {
namespace {

// The header strings in their stored order with their limits, shared by the reader and the checks.
struct HeaderField {
    const char* name;
    std::string Manifest::*member;
    std::size_t limit;
};
constexpr HeaderField kHeaderFields[] = {
    {"title", &Manifest::title, kTitleLimit},
    {"displayName", &Manifest::displayName, kDisplayNameLimit},
    {"setupName", &Manifest::setupName, kPathLimit},
    {"defaultFolder", &Manifest::defaultFolder, kPathLimit},
    {"runFile", &Manifest::runFile, kPathLimit},
    {"programsFolder", &Manifest::programsFolder, kProgramsFolderLimit},
};

std::string Indexed(const char* list, std::size_t index, const char* member) {
    return std::string(list) + "[" + std::to_string(index) + "]." + member;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and spaces from path components, so "..", "... " and ". ." all climb
// a level or name nothing; any component made only of dots and spaces with two dots or more is refused.
bool ClimbsOrVanishes(std::string_view component) {
    std::size_t dots = 0;
    for (char c : component) {
        if (c != '.' && c != ' ') return false;
        dots += c == '.';
    }
    return dots >= 2;
}

// A name that lands inside its folder: no separator, no drive or stream colon, not empty and not
// made only of dots and spaces ("", ".", "..", "...").
void CheckPlainFileName(const std::string& field, std::string_view name) {
    if (name.find_first_of("\\/") != std::string_view::npos) {
        throw FormatError(field, "the file name \"" + std::string(name) + "\" contains a path separator");
    }
    if (name.find(':') != std::string_view::npos) {
        throw FormatError(field, "the file name \"" + std::string(name) + "\" contains a colon");
    }
    if (name.find_first_not_of(". ") == std::string_view::npos) {
        throw FormatError(field, "\"" + std::string(name) + "\" is not a file name");
    }
}

// A folder relative to the installation folder that cannot climb out of it. Empty is allowed: the
// installation folder itself (for the first record the Windows directory, where the uninstaller goes).
void CheckRelativeFolder(const std::string& field, std::string_view folder) {
    if (!folder.empty() && IsSeparator(folder.front())) {
        throw FormatError(field, "the folder \"" + std::string(folder) + "\" is absolute");
    }
    if (folder.find(':') != std::string_view::npos) {
        throw FormatError(field, "the folder \"" + std::string(folder) + "\" names a drive");
    }
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = start;
        while (end < folder.size() && !IsSeparator(folder[end])) ++end;
        if (ClimbsOrVanishes(folder.substr(start, end - start))) {
            throw FormatError(field, "the folder \"" + std::string(folder) + "\" leads out of the installation folder");
        }
        start = end + 1;
    }
}

// setupName and iniFile are file names inside a known folder; empty ones only make that step fail.
void CheckOptionalFileName(const std::string& field, std::string_view name) {
    if (!name.empty()) CheckPlainFileName(field, name);
}

void CheckString(const std::string& field, const std::string& value, std::size_t limit) {
    if (value.find('\0') != std::string::npos) {
        throw FormatError(field, "the string contains a zero byte, which would end it early");
    }
    if (value.size() > limit) {
        throw FormatError(field, "the string is longer than its limit of " + std::to_string(limit) + " characters");
    }
}

void CheckCount(ByteReader& reader, const char* field, std::int32_t count, std::size_t minRecordSize) {
    const std::uint64_t needed = static_cast<std::uint64_t>(count) * minRecordSize;
    if (needed > reader.remaining()) {
        throw FormatError(field, "a count of " + std::to_string(count) + " needs at least " + std::to_string(needed) +
                                     " bytes, but only " + std::to_string(reader.remaining()) + " remain");
    }
}

SettingRecord ReadSetting(ByteReader& reader, std::size_t index) {
    SettingRecord setting;
    setting.iniFile = reader.cstr(kShortFieldLimit, Indexed("settings", index, "iniFile").c_str());
    CheckOptionalFileName(Indexed("settings", index, "iniFile"), setting.iniFile);
    setting.section = reader.cstr(kShortFieldLimit, Indexed("settings", index, "section").c_str());
    setting.key = reader.cstr(kShortFieldLimit, Indexed("settings", index, "key").c_str());
    setting.value = reader.cstr(kPathLimit, Indexed("settings", index, "value").c_str());
    setting.numeric = reader.u32le(Indexed("settings", index, "numeric").c_str());
    return setting;
}

FileRecord ReadFile(ByteReader& reader, std::size_t index, std::uint64_t manifestStart) {
    FileRecord record;
    const std::string fileField = Indexed("files", index, "file");
    record.file = reader.cstr(kPathLimit, fileField.c_str());
    CheckPlainFileName(fileField, record.file);
    const std::string folderField = Indexed("files", index, "folder");
    record.folder = reader.cstr(kPathLimit, folderField.c_str());
    CheckRelativeFolder(folderField, record.folder);
    record.exeparms = reader.cstr(kShortFieldLimit, Indexed("files", index, "exeparms").c_str());
    record.desktopIcon = reader.u32le(Indexed("files", index, "desktopIcon").c_str());
    record.programsIcon = reader.u32le(Indexed("files", index, "programsIcon").c_str());
    record.iconName = reader.cstr(kShortFieldLimit, Indexed("files", index, "iconName").c_str());
    const std::string offsetField = Indexed("files", index, "offset");
    const std::string lengthField = Indexed("files", index, "length");
    record.offset = reader.u32le(offsetField.c_str());
    record.length = reader.u32le(lengthField.c_str());

    // The entry must lie in front of the manifest: never inside the manifest or trailer, never past
    // the end of the file, never where a signed 32-bit seek cannot reach.
    if (record.offset > kMaxOffset) {
        throw FormatError(offsetField, "the entry offset " + std::to_string(record.offset) + " is not below 2^31");
    }
    if (record.offset > manifestStart) {
        throw FormatError(offsetField, "the entry starts at " + std::to_string(record.offset) +
                                           ", behind the manifest start " + std::to_string(manifestStart));
    }
    if (std::uint64_t{record.offset} + record.length > manifestStart) {
        throw FormatError(lengthField, "the entry of " + std::to_string(record.length) + " bytes at " +
                                           std::to_string(record.offset) + " runs past the manifest start " +
                                           std::to_string(manifestStart));
    }
    return record;
}

void PutString(std::vector<std::uint8_t>& out, const std::string& field, const std::string& value) {
    if (value.find('\0') != std::string::npos) {
        throw FormatError(field, "the string contains a zero byte, which would end it early");
    }
    out.insert(out.end(), value.begin(), value.end());
    out.push_back(0);
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    PutU32(out, static_cast<std::uint32_t>(value));
    PutU32(out, static_cast<std::uint32_t>(value >> 32));
}

std::uint32_t CountOf(std::size_t size, const char* field) {
    if (size > static_cast<std::size_t>(INT32_MAX)) {
        throw FormatError(field, "more records than a signed 32-bit count holds");
    }
    return static_cast<std::uint32_t>(size);
}

}  // namespace

Manifest ReadManifest(std::span<const std::uint8_t> block, std::uint64_t manifestStart) {
    ByteReader reader(block);
    Manifest manifest;
    for (const HeaderField& header : kHeaderFields) {
        manifest.*header.member = reader.cstr(header.limit, header.name);
    }
    CheckOptionalFileName("setupName", manifest.setupName);
    manifest.archiveDate = reader.u64le("archiveDate");
    manifest.uninstallerDate = reader.u64le("uninstallerDate");

    const std::int32_t settingCount = reader.i32le("settingCount");  // 0 or less: no settings
    if (settingCount > 0) {
        CheckCount(reader, "settingCount", settingCount, kMinSettingRecordSize);
        manifest.settings.reserve(static_cast<std::size_t>(settingCount));
        for (std::int32_t i = 0; i < settingCount; ++i) {
            manifest.settings.push_back(ReadSetting(reader, static_cast<std::size_t>(i)));
        }
    }

    const std::int32_t fileCount = reader.i32le("fileCount");
    if (fileCount < 1) {
        throw FormatError("fileCount", "the archive holds " + std::to_string(fileCount) +
                                           " file records; at least one (the uninstaller) is needed");
    }
    CheckCount(reader, "fileCount", fileCount, kMinFileRecordSize);
    manifest.files.reserve(static_cast<std::size_t>(fileCount));
    for (std::int32_t i = 0; i < fileCount; ++i) {
        manifest.files.push_back(ReadFile(reader, static_cast<std::size_t>(i), manifestStart));
    }
    // Whatever follows the last record (the trailing zero byte and padding) is not read.
    return manifest;
}

void CheckManifest(const Manifest& manifest) {
    for (const HeaderField& header : kHeaderFields) {
        CheckString(header.name, manifest.*header.member, header.limit);
    }
    CheckOptionalFileName("setupName", manifest.setupName);
    CountOf(manifest.settings.size(), "settingCount");
    for (std::size_t i = 0; i < manifest.settings.size(); ++i) {
        const SettingRecord& setting = manifest.settings[i];
        CheckString(Indexed("settings", i, "iniFile"), setting.iniFile, kShortFieldLimit);
        CheckOptionalFileName(Indexed("settings", i, "iniFile"), setting.iniFile);
        CheckString(Indexed("settings", i, "section"), setting.section, kShortFieldLimit);
        CheckString(Indexed("settings", i, "key"), setting.key, kShortFieldLimit);
        CheckString(Indexed("settings", i, "value"), setting.value, kPathLimit);
    }
    if (manifest.files.empty()) {
        throw FormatError("fileCount", "the archive holds no file records; at least one (the uninstaller) is needed");
    }
    CountOf(manifest.files.size(), "fileCount");
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const FileRecord& record = manifest.files[i];
        CheckString(Indexed("files", i, "file"), record.file, kPathLimit);
        CheckPlainFileName(Indexed("files", i, "file"), record.file);
        CheckString(Indexed("files", i, "folder"), record.folder, kPathLimit);
        CheckRelativeFolder(Indexed("files", i, "folder"), record.folder);
        CheckString(Indexed("files", i, "exeparms"), record.exeparms, kShortFieldLimit);
        CheckString(Indexed("files", i, "iconName"), record.iconName, kShortFieldLimit);
    }
}

std::vector<std::uint8_t> WriteManifest(const Manifest& manifest) {
    std::vector<std::uint8_t> out;
    for (const HeaderField& header : kHeaderFields) PutString(out, header.name, manifest.*header.member);
    PutU64(out, manifest.archiveDate);
    PutU64(out, manifest.uninstallerDate);
    PutU32(out, CountOf(manifest.settings.size(), "settingCount"));
    for (std::size_t i = 0; i < manifest.settings.size(); ++i) {
        const SettingRecord& setting = manifest.settings[i];
        PutString(out, Indexed("settings", i, "iniFile"), setting.iniFile);
        PutString(out, Indexed("settings", i, "section"), setting.section);
        PutString(out, Indexed("settings", i, "key"), setting.key);
        PutString(out, Indexed("settings", i, "value"), setting.value);
        PutU32(out, setting.numeric);
    }
    PutU32(out, CountOf(manifest.files.size(), "fileCount"));
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        const FileRecord& record = manifest.files[i];
        PutString(out, Indexed("files", i, "file"), record.file);
        PutString(out, Indexed("files", i, "folder"), record.folder);
        PutString(out, Indexed("files", i, "exeparms"), record.exeparms);
        PutU32(out, record.desktopIcon);
        PutU32(out, record.programsIcon);
        PutString(out, Indexed("files", i, "iconName"), record.iconName);
        PutU32(out, record.offset);
        PutU32(out, record.length);
    }
    return out;
}

}  // namespace kv::archive

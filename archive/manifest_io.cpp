// Reading, checking and writing the Manifest block. Each record kind's fields are listed once, in
// stored order with their limits and name rules; the reader, the check and the writer all walk
// those lists, so a field cannot be read one way and written another.
#include "archive/manifest_io.h"

#include <climits>
#include <string>
#include <string_view>
#include <variant>

#include "archive/byte_reader.h"
#include "archive/little_endian.h"
#include "archive/names.h"

namespace kv::archive {
namespace {

// What a string field must be besides fitting its limit, so that no record writes outside its folder.
enum class NameRule {
    None,
    FileName,          // one file name (`file`)
    OptionalFileName,  // one file name or empty (`setupName`, `iniFile`: empty only makes that step fail)
    Folder,            // relative to the installation folder, never climbing out of it (`folder`)
};

template <class Record>
struct Field {
    const char* name;
    std::variant<std::string Record::*, std::uint32_t Record::*, std::uint64_t Record::*> member;
    std::size_t limit = 0;  // strings: characters without the terminator
    NameRule rule = NameRule::None;
};

// The header up to the two counts, in stored order.
constexpr Field<Manifest> kHeaderFields[] = {
    {"title", &Manifest::title, kTitleLimit},
    {"displayName", &Manifest::displayName, kDisplayNameLimit},
    {"setupName", &Manifest::setupName, kPathLimit, NameRule::OptionalFileName},
    {"defaultFolder", &Manifest::defaultFolder, kPathLimit},
    {"runFile", &Manifest::runFile, kPathLimit},
    {"programsFolder", &Manifest::programsFolder, kProgramsFolderLimit},
    {"archiveDate", &Manifest::archiveDate},
    {"uninstallerDate", &Manifest::uninstallerDate},
};

constexpr Field<SettingRecord> kSettingFields[] = {
    {"iniFile", &SettingRecord::iniFile, kShortFieldLimit, NameRule::OptionalFileName},
    {"section", &SettingRecord::section, kShortFieldLimit},
    {"key", &SettingRecord::key, kShortFieldLimit},
    {"value", &SettingRecord::value, kPathLimit},
    {"numeric", &SettingRecord::numeric},
};

constexpr Field<FileRecord> kFileFields[] = {
    {"file", &FileRecord::file, kPathLimit, NameRule::FileName},
    {"folder", &FileRecord::folder, kPathLimit, NameRule::Folder},
    {"exeparms", &FileRecord::exeparms, kShortFieldLimit},
    {"desktopIcon", &FileRecord::desktopIcon},
    {"programsIcon", &FileRecord::programsIcon},
    {"iconName", &FileRecord::iconName, kShortFieldLimit},
    {"offset", &FileRecord::offset},
    {"length", &FileRecord::length},
};

// The field's name in messages: "title" in the header, "files[2].offset" in a record.
struct FieldNames {
    const char* list = nullptr;
    std::size_t index = 0;

    std::string operator()(const char* member) const {
        if (list == nullptr) return member;
        return std::string(list) + "[" + std::to_string(index) + "]." + member;
    }
};

template <class... Visitors>
struct Overloaded : Visitors... {
    using Visitors::operator()...;
};
// Spelled out for compilers that do not deduce an aggregate's template arguments yet.
template <class... Visitors>
Overloaded(Visitors...) -> Overloaded<Visitors...>;

// Calls `visit(field, value)` for each field of `record` in stored order; `value` is the member
// itself, const when `record` is.
template <class Record, std::size_t N, class Target, class Visitor>
void VisitFields(const Field<Record> (&fields)[N], Target& record, Visitor&& visit) {
    for (const Field<Record>& field : fields) {
        std::visit([&](auto member) { visit(field, record.*member); }, field.member);
    }
}

void CheckFileName(const std::string& field, const std::string& name) {
    switch (PlainFileNameFault(name)) {
        case FileNameFault::None:
            return;
        case FileNameFault::Separator:
            throw FormatError(field, "the file name \"" + name + "\" contains a path separator");
        case FileNameFault::Colon:
            throw FormatError(field, "the file name \"" + name + "\" contains a colon");
        case FileNameFault::NotAName:
            throw FormatError(field, "\"" + name + "\" is not a file name");
    }
}

void CheckFolder(const std::string& field, const std::string& folder) {
    switch (RelativeFolderFault(folder)) {
        case FolderFault::None:
            return;
        case FolderFault::Absolute:
            throw FormatError(field, "the folder \"" + folder + "\" is absolute");
        case FolderFault::Drive:
            throw FormatError(field, "the folder \"" + folder + "\" names a drive");
        case FolderFault::LeavesFolder:
            throw FormatError(field, "the folder \"" + folder + "\" leads out of the installation folder");
    }
}

void CheckName(const std::string& field, NameRule rule, const std::string& text) {
    switch (rule) {
        case NameRule::None:
            return;
        case NameRule::OptionalFileName:
            if (!text.empty()) CheckFileName(field, text);
            return;
        case NameRule::FileName:
            CheckFileName(field, text);
            return;
        case NameRule::Folder:
            CheckFolder(field, text);
            return;
    }
}

void CheckNoZeroByte(const std::string& field, const std::string& value) {
    if (value.find('\0') != std::string::npos) {
        throw FormatError(field, "the string contains a zero byte, which would end it early");
    }
}

template <class Record, std::size_t N>
void ReadFields(ByteReader& reader, const Field<Record> (&fields)[N], Record& record, const FieldNames& names) {
    VisitFields(fields, record, Overloaded{
        [&](const Field<Record>& field, std::string& text) {
            const std::string name = names(field.name);
            text = reader.cstr(field.limit, name.c_str());
            CheckName(name, field.rule, text);
        },
        [&](const Field<Record>& field, std::uint32_t& number) { number = reader.u32le(names(field.name).c_str()); },
        [&](const Field<Record>& field, std::uint64_t& number) { number = reader.u64le(names(field.name).c_str()); },
    });
}

template <class Record, std::size_t N>
void CheckFields(const Field<Record> (&fields)[N], const Record& record, const FieldNames& names) {
    VisitFields(fields, record, Overloaded{
        [&](const Field<Record>& field, const std::string& text) {
            const std::string name = names(field.name);
            CheckNoZeroByte(name, text);
            if (text.size() > field.limit) {
                throw FormatError(name, "the string is longer than its limit of " + std::to_string(field.limit) +
                                            " characters");
            }
            CheckName(name, field.rule, text);
        },
        [](const Field<Record>&, std::uint32_t) {},
        [](const Field<Record>&, std::uint64_t) {},
    });
}

// Writes whatever the layout can carry, limits and name rules aside.
template <class Record, std::size_t N>
void WriteFields(std::vector<std::uint8_t>& out, const Field<Record> (&fields)[N], const Record& record,
                 const FieldNames& names) {
    VisitFields(fields, record, Overloaded{
        [&](const Field<Record>& field, const std::string& text) {
            CheckNoZeroByte(names(field.name), text);
            out.insert(out.end(), text.begin(), text.end());
            out.push_back(0);
        },
        [&](const Field<Record>&, std::uint32_t number) { AppendU32le(out, number); },
        [&](const Field<Record>&, std::uint64_t number) { AppendU64le(out, number); },
    });
}

void CheckCount(ByteReader& reader, const char* field, std::int32_t count, std::size_t minRecordSize) {
    const std::uint64_t needed = static_cast<std::uint64_t>(count) * minRecordSize;
    if (needed > reader.remaining()) {
        throw FormatError(field, "a count of " + std::to_string(count) + " needs at least " + std::to_string(needed) +
                                     " bytes, but only " + std::to_string(reader.remaining()) + " remain");
    }
}

// The entry must lie in front of the manifest: never inside the manifest or trailer, never past
// the end of the file, never where a signed 32-bit seek cannot reach.
void CheckEntryPosition(const FileRecord& record, const FieldNames& names, std::uint64_t manifestStart) {
    if (record.offset > kMaxOffset) {
        throw FormatError(names("offset"), "the entry offset " + std::to_string(record.offset) + " is not below 2^31");
    }
    if (record.offset > manifestStart) {
        throw FormatError(names("offset"), "the entry starts at " + std::to_string(record.offset) +
                                               ", behind the manifest start " + std::to_string(manifestStart));
    }
    if (std::uint64_t{record.offset} + record.length > manifestStart) {
        throw FormatError(names("length"), "the entry of " + std::to_string(record.length) + " bytes at " +
                                               std::to_string(record.offset) + " runs past the manifest start " +
                                               std::to_string(manifestStart));
    }
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
    ReadFields(reader, kHeaderFields, manifest, {});

    const std::int32_t settingCount = reader.i32le("settingCount");  // 0 or less: no settings
    if (settingCount > 0) {
        CheckCount(reader, "settingCount", settingCount, kMinSettingRecordSize);
        manifest.settings.resize(static_cast<std::size_t>(settingCount));
        for (std::size_t i = 0; i < manifest.settings.size(); ++i) {
            ReadFields(reader, kSettingFields, manifest.settings[i], {"settings", i});
        }
    }

    const std::int32_t fileCount = reader.i32le("fileCount");
    if (fileCount < 1) {
        throw FormatError("fileCount", "the archive holds " + std::to_string(fileCount) +
                                           " file records; at least one (the uninstaller) is needed");
    }
    CheckCount(reader, "fileCount", fileCount, kMinFileRecordSize);
    manifest.files.resize(static_cast<std::size_t>(fileCount));
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        ReadFields(reader, kFileFields, manifest.files[i], {"files", i});
        CheckEntryPosition(manifest.files[i], {"files", i}, manifestStart);
    }
    // Whatever follows the last record (the trailing zero byte and padding) is not read.
    return manifest;
}

void CheckManifest(const Manifest& manifest) {
    CheckFields(kHeaderFields, manifest, {});
    CountOf(manifest.settings.size(), "settingCount");
    for (std::size_t i = 0; i < manifest.settings.size(); ++i) {
        CheckFields(kSettingFields, manifest.settings[i], {"settings", i});
    }
    if (manifest.files.empty()) {
        throw FormatError("fileCount", "the archive holds no file records; at least one (the uninstaller) is needed");
    }
    CountOf(manifest.files.size(), "fileCount");
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        CheckFields(kFileFields, manifest.files[i], {"files", i});
    }
}

std::vector<std::uint8_t> WriteManifest(const Manifest& manifest) {
    std::vector<std::uint8_t> out;
    WriteFields(out, kHeaderFields, manifest, {});
    AppendU32le(out, CountOf(manifest.settings.size(), "settingCount"));
    for (std::size_t i = 0; i < manifest.settings.size(); ++i) {
        WriteFields(out, kSettingFields, manifest.settings[i], {"settings", i});
    }
    AppendU32le(out, CountOf(manifest.files.size(), "fileCount"));
    for (std::size_t i = 0; i < manifest.files.size(); ++i) {
        WriteFields(out, kFileFields, manifest.files[i], {"files", i});
    }
    return out;
}

}  // namespace kv::archive

// Reading the Manifest block, field by field from the lists in manifest_fields.h, with every limit
// and name rule checked as it is read.
#include "archive/manifest_io.h"

#include <string>

#include "archive/byte_reader.h"
#include "archive/manifest_fields.h"
#include "archive/names.h"

namespace kv::archive {
namespace {

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
    case FileNameFault::Device:
        throw FormatError(field, "\"" + name + "\" names a device");
    case FileNameFault::Trimmed:
        throw FormatError(field, "the file name \"" + name + "\" ends in a dot or a space");
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
    case FolderFault::EmptyLevel:
        throw FormatError(field, "the folder \"" + folder + "\" has an empty level");
    case FolderFault::DeviceName:
        throw FormatError(field, "the folder \"" + folder + "\" names a device");
    case FolderFault::Trimmed:
        throw FormatError(field, "a level of the folder \"" + folder + "\" ends in a dot or a space");
    }
}

// Refused rather than registered in a form that the uninstaller would read back as another name.
void CheckProductName(const std::string& field, const std::string& name) {
    switch (ProductNameFaultOf(name)) {
    case ProductNameFault::None:
        return;
    case ProductNameFault::EdgeBlank:
        throw FormatError(field, "the product name \"" + name + "\" begins or ends with a blank");
    case ProductNameFault::Quote:
        throw FormatError(field, "the product name \"" + name + "\" contains a double quote");
    case ProductNameFault::QuietWord:
        throw FormatError(field, "the product name \"" + name + "\" contains the word /S");
    }
}

}  // namespace

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
    case NameRule::ProductName:
        CheckProductName(field, text);
        return;
    }
}

namespace {

template <class Record, std::size_t N>
void ReadFields(ByteReader& reader, const Field<Record> (&fields)[N], Record& record, const FieldNames& names) {
    VisitFields(fields, record,
                Overloaded{
                    [&](const Field<Record>& field, std::string& text) {
                        const std::string name = names(field.name);
                        text = reader.cstr(field.limit, name.c_str());
                        CheckName(name, field.rule, text);
                    },
                    [&](const Field<Record>& field, std::uint32_t& number) {
                        number = reader.u32le(names(field.name).c_str());
                    },
                    [&](const Field<Record>& field, std::uint64_t& number) {
                        number = reader.u64le(names(field.name).c_str());
                    },
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

}  // namespace kv::archive

// Checking and writing the Manifest block, field by field from the lists in manifest_fields.h.
// Only the builder needs this half.
#include "archive/manifest_io.h"

#include <climits>
#include <string>

#include "archive/little_endian.h"
#include "archive/manifest_fields.h"

namespace kv::archive {
namespace {

void CheckNoZeroByte(const std::string& field, const std::string& value) {
    if (value.find('\0') != std::string::npos) {
        throw FormatError(field, "the string contains a zero byte, which would end it early");
    }
}

template <class Record, std::size_t N>
void CheckFields(const Field<Record> (&fields)[N], const Record& record, const FieldNames& names) {
    VisitFields(fields, record,
                Overloaded{
                    [&](const Field<Record>& field, const std::string& text) {
                        const std::string name = names(field.name);
                        CheckNoZeroByte(name, text);
                        if (text.size() > field.limit) {
                            throw FormatError(name, "the string is longer than its limit of " +
                                                        std::to_string(field.limit) + " characters");
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
    VisitFields(fields, record,
                Overloaded{
                    [&](const Field<Record>& field, const std::string& text) {
                        CheckNoZeroByte(names(field.name), text);
                        out.insert(out.end(), text.begin(), text.end());
                        out.push_back(0);
                    },
                    [&](const Field<Record>&, std::uint32_t number) { AppendU32le(out, number); },
                    [&](const Field<Record>&, std::uint64_t number) { AppendU64le(out, number); },
                });
}

std::uint32_t CountOf(std::size_t size, const char* field) {
    if (size > static_cast<std::size_t>(INT32_MAX)) {
        throw FormatError(field, "more records than a signed 32-bit count holds");
    }
    return static_cast<std::uint32_t>(size);
}

}  // namespace

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

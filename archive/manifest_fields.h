// The Manifest block's fields, listed once per record kind in stored order with their limits and
// name rules. The reader (manifest_io.cpp) and the check and writer (manifest_write.cpp) all walk
// these lists, so a field cannot be read one way and written another; the two halves live in
// separate files only so that the installer program, which only reads, links no writer.
// Included by those two files alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "archive/format.h"

namespace kv::archive {

// What a string field must be besides fitting its limit, so that no record writes outside its folder.
enum class NameRule {
    None,
    FileName,          // one file name (`file`)
    OptionalFileName,  // one file name or empty (`setupName`, `iniFile`: empty only makes that step fail)
    Folder,            // relative to its base folder, never climbing out of it (`folder`, `programsFolder`)
    ProductName,       // comes back unchanged from the uninstaller's command line (`displayName`)
};

template <class Record>
struct Field {
    const char* name;
    std::variant<std::string Record::*, std::uint32_t Record::*, std::uint64_t Record::*> member;
    std::size_t limit = 0;  // strings: characters without the terminator
    NameRule rule = NameRule::None;
};

// The header up to the two counts, in stored order.
inline constexpr Field<Manifest> kHeaderFields[] = {
    {"title", &Manifest::title, kTitleLimit},
    {"displayName", &Manifest::displayName, kDisplayNameLimit, NameRule::ProductName},
    {"setupName", &Manifest::setupName, kPathLimit, NameRule::OptionalFileName},
    {"defaultFolder", &Manifest::defaultFolder, kPathLimit},
    {"runFile", &Manifest::runFile, kPathLimit},
    {"programsFolder", &Manifest::programsFolder, kProgramsFolderLimit, NameRule::Folder},
    {"archiveDate", &Manifest::archiveDate},
    {"uninstallerDate", &Manifest::uninstallerDate},
};

inline constexpr Field<SettingRecord> kSettingFields[] = {
    {"iniFile", &SettingRecord::iniFile, kShortFieldLimit, NameRule::OptionalFileName},
    {"section", &SettingRecord::section, kShortFieldLimit},
    {"key", &SettingRecord::key, kShortFieldLimit},
    {"value", &SettingRecord::value, kPathLimit},
    {"numeric", &SettingRecord::numeric},
};

inline constexpr Field<FileRecord> kFileFields[] = {
    {"file", &FileRecord::file, kPathLimit, NameRule::FileName},
    {"folder", &FileRecord::folder, kPathLimit, NameRule::Folder},
    {"exeparms", &FileRecord::exeparms, kShortFieldLimit},
    {"desktopIcon", &FileRecord::desktopIcon},
    {"programsIcon", &FileRecord::programsIcon},
    {"iconName", &FileRecord::iconName, kShortFieldLimit},
    {"offset", &FileRecord::offset},
    {"length", &FileRecord::length},
};

// The smallest stored record (every string empty, so one terminator each): a count is refused
// before any allocation when the bytes left cannot hold that many records.
template <class Record, std::size_t N>
constexpr std::size_t MinRecordSize(const Field<Record> (&fields)[N]) {
    constexpr std::size_t kStoredSize[] = {1, 4, 8};  // by the member's alternative: string, 32, 64 bits
    std::size_t size = 0;
    for (const Field<Record>& field : fields) size += kStoredSize[field.member.index()];
    return size;
}
inline constexpr std::size_t kMinSettingRecordSize = MinRecordSize(kSettingFields);
inline constexpr std::size_t kMinFileRecordSize = MinRecordSize(kFileFields);
static_assert(kMinSettingRecordSize == 1 + 1 + 1 + 1 + 4 && kMinFileRecordSize == 1 + 1 + 1 + 4 + 4 + 1 + 4 + 4);

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

// Checks `text` against the field's name rule; FormatError naming `field` otherwise.
void CheckName(const std::string& field, NameRule rule, const std::string& text);

}  // namespace kv::archive

// Encoding and decoding of Kvuninstall.dat records.
#include "uninstall/log_format.h"

namespace kv::uninstall {
namespace {

void PutString(const std::string& text, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// Reads up to the next zero byte and skips it. Returns false when the bytes ended first; the field
// then holds what was read.
bool GetString(std::span<const std::uint8_t> bytes, std::size_t& pos, std::string& field) {
    while (pos < bytes.size()) {
        const std::uint8_t byte = bytes[pos++];
        if (byte == 0) return true;
        field.push_back(static_cast<char>(byte));
    }
    return false;
}

}  // namespace

void EncodeRecord(const UninstallRecord& record, std::vector<std::uint8_t>& out) {
    out.push_back(record.kind);
    if (record.kind == kKindShortcut) {
        const auto locationByte = static_cast<std::uint8_t>(record.location & 0xFF);
        out.push_back(locationByte);
        if (locationByte == 0) PutString(record.menuFolder, out);
    }
    PutString(record.text, out);
}

std::vector<std::uint8_t> EncodeRecord(const UninstallRecord& record) {
    std::vector<std::uint8_t> out;
    EncodeRecord(record, out);
    return out;
}

DecodedLog DecodeRecords(std::span<const std::uint8_t> bytes) {
    DecodedLog log;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        UninstallRecord record;
        record.kind = bytes[pos++];
        bool complete = true;
        if (record.kind == kKindShortcut) {
            if (pos < bytes.size()) {
                // The location byte is widened as a signed byte.
                record.location = static_cast<std::int8_t>(bytes[pos++]);
                if (record.location == 0) complete = GetString(bytes, pos, record.menuFolder);
            } else {
                complete = false;
            }
        }
        if (complete) complete = GetString(bytes, pos, record.text);
        log.records.push_back(std::move(record));
        if (!complete) {
            log.truncated = true;
            break;
        }
        log.completeBytes = pos;
    }
    return log;
}

std::string CanonicalPath(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (i >= 2 && path[i] == '\\' && out.back() == '\\') continue;
        out.push_back(path[i]);
    }
    return out;
}

namespace {

// Upper case as Windows folds names, for the Windows-1252 code page that the archive's names are in:
// the ASCII letters, the accented letters (a grave to thorn, but not the division sign) and the four
// letters whose capitals stand elsewhere in the code page. Sharp s has no capital and stays.
char UpperAsWindows(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 'a' + 'A');
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
    switch (u) {
    case 0x9A:  // s caron
    case 0x9C:  // oe
    case 0x9E:  // z caron
        return static_cast<char>(u - 0x10);
    case 0xFF:  // y diaeresis
        return static_cast<char>(0x9F);
    default:
        return c;
    }
}

}  // namespace

std::string ComparablePath(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/') c = '\\';
        c = UpperAsWindows(c);
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool SamePath(const std::string& a, const std::string& b) { return ComparablePath(a) == ComparablePath(b); }

std::string DescribeRecord(const UninstallRecord& record) {
    switch (record.kind) {
    case kKindFile:
        return "file \"" + record.text + "\"";
    case kKindProduct:
        return "product \"" + record.text + "\"";
    case kKindShortcut:
        if (record.location == kLocationDesktop) return "shortcut desktop \"" + record.text + "\"";
        if (record.location == kLocationPrograms)
            return "shortcut programs \"" + record.menuFolder + "\" \"" + record.text + "\"";
        return "shortcut location " + std::to_string(record.location) + " \"" + record.text + "\"";
    default:
        return "kind " + std::to_string(record.kind) + " \"" + record.text + "\"";
    }
}

std::optional<Damage> FirstDamage(const std::vector<UninstallRecord>& records) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UninstallRecord& r = records[i];
        if (r.kind != kKindFile && r.kind != kKindShortcut && r.kind != kKindProduct)
            return Damage{DamageKind::UnknownKind, i + 1, r.kind};
        if (r.kind == kKindShortcut && r.location != kLocationDesktop && r.location != kLocationPrograms)
            return Damage{DamageKind::UnknownLocation, i + 1, r.location};
    }
    return std::nullopt;
}

}  // namespace kv::uninstall

// The product's identity in the stub's resources: a version resource (VS_VERSIONINFO), the icon
// group the dialog and Explorer show, and the string table the installer reads its texts from.
#include "tools/kvpack/product_identity.h"

#include <algorithm>
#include <functional>

#include "archive/version_numbers.h"
#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/pe_resources.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

constexpr std::uint16_t kEnglishUs = 0x409;
constexpr std::uint16_t kMainIconGroup = 128;  // the installer's IDR_MAINFRAME

std::u16string Utf16FromUtf8(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? byte : byte & (0x3F >> (length - 1));
        for (int k = 1; k < length && i + k < utf8.size(); ++k) c = c << 6 | (utf8[i + k] & 0x3F);
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string Utf8FromUtf16(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Wide(const std::string& ansi) { return Utf16FromUtf8(AnsiToUtf8(ansi)); }

void Append(std::vector<std::uint8_t>& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Pad4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

// One node of a version resource: length, value length, type, key, the value, then the children,
// each starting on a 4-byte boundary. The length counts everything up to the last child's end.
void VersionNode(std::vector<std::uint8_t>& out, const std::u16string& key, std::span<const std::uint8_t> value,
                 std::uint16_t valueLength, bool text, const std::function<void()>& children = {}) {
    Pad4(out);
    const std::size_t start = out.size();
    Append(out, 0, 2);
    Append(out, valueLength, 2);
    Append(out, text ? 1 : 0, 2);
    for (char16_t c : key) Append(out, c, 2);
    Append(out, 0, 2);
    Pad4(out);
    out.insert(out.end(), value.begin(), value.end());
    if (children) children();
    const std::size_t length = out.size() - start;
    out[start] = static_cast<std::uint8_t>(length);
    out[start + 1] = static_cast<std::uint8_t>(length >> 8);
}

std::vector<std::uint8_t> VersionResource(const ProductIdentity& identity, const kv::archive::Manifest& manifest) {
    const std::optional<std::string>& version = identity.Text(KV_TEXT_VERSION);
    const std::array<std::uint16_t, 4> numbers =
        version ? kv::archive::VersionNumbers(*version).value_or(std::array<std::uint16_t, 4>{})
                : std::array<std::uint16_t, 4>{};
    const std::uint32_t high = std::uint32_t{numbers[0]} << 16 | numbers[1];
    const std::uint32_t low = std::uint32_t{numbers[2]} << 16 | numbers[3];
    std::vector<std::uint8_t> fixed;
    for (std::uint32_t field : {0xFEEF04BDu, 0x00010000u, high, low, high, low, 0x3Fu, 0u, 0x00040004u /* NT */,
                                1u /* application */, 0u, 0u, 0u})
        Append(fixed, field, 4);

    std::vector<std::pair<std::u16string, std::string>> strings;
    const auto add = [&](const char16_t* key, const std::optional<std::string>& value) {
        if (value && !value->empty()) strings.emplace_back(key, *value);
    };
    add(u"CompanyName", identity.Text(KV_TEXT_PUBLISHER));
    add(u"FileDescription", manifest.title);
    add(u"FileVersion", version);
    add(u"LegalCopyright", identity.Text(KV_TEXT_COPYRIGHT));
    add(u"OriginalFilename", manifest.setupName);
    add(u"ProductName", manifest.displayName);
    add(u"ProductVersion", version);

    std::vector<std::uint8_t> out;
    VersionNode(out, u"VS_VERSION_INFO", fixed, static_cast<std::uint16_t>(fixed.size()), false, [&] {
        VersionNode(out, u"StringFileInfo", {}, 0, true, [&] {
            VersionNode(out, u"040904B0", {}, 0, true, [&] {
                for (const auto& [key, value] : strings) {
                    std::vector<std::uint8_t> bytes;
                    const std::u16string wide = Wide(value);
                    for (char16_t c : wide) Append(bytes, c, 2);
                    Append(bytes, 0, 2);
                    VersionNode(out, key, bytes, static_cast<std::uint16_t>(wide.size() + 1), true);
                }
            });
        });
        const std::uint8_t translation[] = {0x09, 0x04, 0xB0, 0x04};  // English (US), UTF-16
        VersionNode(out, u"VarFileInfo", {}, 0, true,
                    [&] { VersionNode(out, u"Translation", translation, sizeof translation, false); });
    });
    return out;
}

// The .ico file's images as icon resources 1..n and the group that lists them.
std::vector<Resource> IconResources(std::span<const std::uint8_t> ico) {
    const auto u16 = [&](std::size_t at) { return static_cast<std::uint32_t>(ico[at] | ico[at + 1] << 8); };
    const auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (ico.size() < 6 || u16(0) != 0 || u16(2) != 1 || u16(4) == 0 || ico.size() < 6 + u16(4) * 16) {
        throw ToolError(kExitBadInput, "not an icon file (.ico)");
    }
    const std::size_t count = u16(4);
    std::vector<Resource> resources;
    Resource group;
    group.type = {kResourceGroupIcon, {}};
    group.name = {kMainIconGroup, {}};
    group.language = kEnglishUs;
    group.data.assign(ico.begin(), ico.begin() + 6);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + i * 16;
        const std::uint32_t size = u32(entry + 8);
        const std::uint32_t at = u32(entry + 12);
        if (at > ico.size() || ico.size() - at < size || size == 0) {
            throw ToolError(kExitBadInput,
                            "not an icon file (.ico): image " + std::to_string(i + 1) + " lies outside the file");
        }
        Resource image;
        image.type = {kResourceIcon, {}};
        image.name = {static_cast<std::uint16_t>(i + 1), {}};
        image.language = kEnglishUs;
        image.data.assign(ico.begin() + at, ico.begin() + at + size);
        resources.push_back(std::move(image));
        // The group's entry is the file's entry with the image's id in place of its offset.
        group.data.insert(group.data.end(), ico.begin() + static_cast<std::ptrdiff_t>(entry),
                          ico.begin() + static_cast<std::ptrdiff_t>(entry + 12));
        Append(group.data, static_cast<std::uint32_t>(i + 1), 2);
    }
    resources.push_back(std::move(group));
    return resources;
}

bool IsType(const Resource& r, std::uint16_t type) { return r.type == ResourceName{type, {}}; }

}  // namespace

bool ProductIdentity::Given() const {
    return icon || std::any_of(texts.begin(), texts.end(), [](const auto& t) { return t.has_value(); });
}

const char* ProductTextKey(int id) {
    switch (id) {
    case KV_TEXT_CAPTION:
        return "caption";
    case KV_TEXT_COPYRIGHT:
        return "copyright";
    case KV_TEXT_VENDOR_WORD:
        return "vendorWord";
    case KV_TEXT_SUPPORT:
        return "support";
    case KV_TEXT_PUBLISHER:
        return "publisher";
    case KV_TEXT_VERSION:
        return "version";
    case KV_TEXT_URL:
        return "url";
    case KV_TEXT_HELP_LINK:
        return "helpLink";
    }
    return "";
}

std::vector<std::uint8_t> ApplyIdentity(std::span<const std::uint8_t> stub, const ProductIdentity& identity,
                                        const kv::archive::Manifest& manifest, std::span<const std::uint8_t> icon) {
    std::optional<std::vector<Resource>> resources = ReadResources(stub);
    if (!resources) throw ToolError(kExitBadInput, "stub: its resources cannot be read");
    std::erase_if(*resources, [&](const Resource& r) {
        return IsType(r, kResourceVersion) ||
               (identity.icon && (IsType(r, kResourceIcon) || IsType(r, kResourceGroupIcon)));
    });
    resources->push_back(Resource{{kResourceVersion, {}}, {1, {}}, kEnglishUs, 0, VersionResource(identity, manifest)});
    if (identity.icon) {
        try {
            for (Resource& r : IconResources(icon)) resources->push_back(std::move(r));
        } catch (const ToolError& error) {
            throw ToolError(kExitBadInput, "icon " + identity.icon->string() + ": " + error.what());
        }
    }
    for (int id = 1; id <= KV_TEXT_COUNT; ++id) {
        if (const auto& text = identity.Text(id))
            SetString(*resources, static_cast<std::uint16_t>(id), Wide(*text), kEnglishUs);
    }
    std::optional<std::vector<std::uint8_t>> rewritten = WithResources(stub, *resources);
    if (!rewritten) throw ToolError(kExitBadInput, "stub: its headers have no room for the product's resources");
    return std::move(*rewritten);
}

ShownIdentity ReadIdentity(std::span<const std::uint8_t> image) {
    ShownIdentity shown;
    const std::optional<std::vector<Resource>> resources = ReadResources(image);
    if (!resources) return shown;
    for (int id = 1; id <= KV_TEXT_COUNT; ++id) {
        if (auto text = FindString(*resources, static_cast<std::uint16_t>(id)))
            shown.texts[static_cast<std::size_t>(id - 1)] = Utf8FromUtf16(*text);
    }
    for (const Resource& r : *resources) {
        if (!IsType(r, kResourceGroupIcon) || r.name != ResourceName{kMainIconGroup, {}} || r.data.size() < 6) continue;
        const std::size_t count = r.data[4] | r.data[5] << 8;
        for (std::size_t i = 0; i < count && 6 + i * 14 + 14 <= r.data.size(); ++i) {
            const auto side = [&](std::size_t at) { return std::to_string(r.data[at] == 0 ? 256 : r.data[at]); };
            shown.iconImages.push_back(side(6 + i * 14) + "x" + side(7 + i * 14));
        }
        break;
    }
    return shown;
}

std::optional<std::string> ProgramMark(std::span<const std::uint8_t> image) {
    const std::optional<std::vector<Resource>> resources = ReadResources(image);
    if (!resources) return std::nullopt;
    if (auto mark = FindString(*resources, KV_TEXT_PROGRAM_MARK)) return Utf8FromUtf16(*mark);
    return std::nullopt;
}

}  // namespace kv::tools

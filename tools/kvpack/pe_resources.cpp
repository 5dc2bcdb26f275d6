// Reading and writing a PE image's resource directory. Every read is bounds-checked, so a hostile
// image can only come back as "not an image"; the writer lays out a fresh three-level directory
// (type, name, language) in a section of its own.
#include "tools/kvpack/pe_resources.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace kv::tools {
namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kSecurityDirectory = 4;
constexpr std::size_t kMaxDepth = 3;

// Bounds-checked little-endian loads; nothing past the end.
struct Bytes {
    std::span<const std::uint8_t> all;
    std::optional<std::uint32_t> Load(std::uint64_t at, int size) const {
        if (at > all.size() || all.size() - at < static_cast<std::uint64_t>(size)) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < size; ++i) value |= std::uint32_t{all[at + i]} << (8 * i);
        return value;
    }
};

void Store(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Append(std::vector<std::uint8_t>& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint32_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
    return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

// Where the headers that matter lie.
struct PeLayout {
    std::size_t coffAt = 0;      // behind "PE\0\0"
    std::size_t optionalAt = 0;  // the optional header
    std::size_t directoriesAt = 0;
    std::uint32_t directoryCount = 0;
    std::size_t sectionsAt = 0;
    std::uint16_t sectionCount = 0;
};

std::optional<PeLayout> FindLayout(const Bytes& bytes) {
    if (bytes.Load(0, 2) != 0x5A4Du) return std::nullopt;  // "MZ"
    const auto peAt = bytes.Load(0x3C, 4);
    if (!peAt || bytes.Load(*peAt, 4) != 0x00004550u) return std::nullopt;  // "PE\0\0"
    PeLayout layout;
    layout.coffAt = *peAt + 4;
    const auto sections = bytes.Load(layout.coffAt + 2, 2);
    const auto optionalSize = bytes.Load(layout.coffAt + 16, 2);
    layout.optionalAt = layout.coffAt + 20;
    const auto magic = bytes.Load(layout.optionalAt, 2);
    if (!sections || !optionalSize || !magic || (*magic != 0x10B && *magic != 0x20B)) return std::nullopt;
    const std::size_t countAt = layout.optionalAt + (*magic == 0x10B ? 92 : 108);
    const auto count = bytes.Load(countAt, 4);
    if (!count) return std::nullopt;
    layout.directoriesAt = countAt + 4;
    layout.directoryCount = std::min<std::uint32_t>(*count, 16);
    if (layout.directoriesAt + layout.directoryCount * 8 > layout.optionalAt + *optionalSize) return std::nullopt;
    layout.sectionsAt = layout.optionalAt + *optionalSize;
    layout.sectionCount = static_cast<std::uint16_t>(*sections);
    if (layout.sectionsAt + layout.sectionCount * kSectionHeaderSize > bytes.all.size()) return std::nullopt;
    return layout;
}

// The file offset of an RVA, through the section that holds it.
std::optional<std::uint64_t> FileOffset(const Bytes& bytes, const PeLayout& layout, std::uint32_t rva) {
    for (std::size_t i = 0; i < layout.sectionCount; ++i) {
        const std::size_t at = layout.sectionsAt + i * kSectionHeaderSize;
        const std::uint32_t start = *bytes.Load(at + 12, 4);
        const std::uint32_t rawSize = *bytes.Load(at + 16, 4);
        const std::uint32_t rawAt = *bytes.Load(at + 20, 4);
        if (rva >= start && rva - start < rawSize) return std::uint64_t{rawAt} + (rva - start);
    }
    return std::nullopt;
}

class DirectoryReader {
public:
    DirectoryReader(const Bytes& bytes, const PeLayout& layout, std::uint64_t base, std::uint32_t size)
        : m_bytes(bytes), m_layout(layout), m_base(base), m_size(size) {}

    bool Walk(std::uint32_t offset, std::size_t depth, Resource& path, std::vector<Resource>& out) {
        // Real directories are three deep; anything deeper, or a loop, is refused.
        if (depth >= kMaxDepth || offset >= m_size || ++m_visited > 65536) return false;
        const auto named = Load(offset + 12, 2);
        const auto ids = Load(offset + 14, 2);
        if (!named || !ids) return false;
        for (std::uint32_t i = 0; i < *named + *ids; ++i) {
            const auto nameField = Load(offset + 16 + i * 8, 4);
            const auto target = Load(offset + 20 + i * 8, 4);
            if (!nameField || !target) return false;
            ResourceName name;
            if (*nameField & 0x80000000u) {
                if (!ReadName(*nameField & 0x7FFFFFFFu, name.text)) return false;
            } else {
                name.id = static_cast<std::uint16_t>(*nameField);
            }
            if (depth == 0) path.type = name;
            if (depth == 1) path.name = name;
            if (depth == 2) path.language = name.id;
            const bool isDirectory = (*target & 0x80000000u) != 0;
            if (isDirectory != (depth < 2)) return false;
            if (isDirectory) {
                if (!Walk(*target & 0x7FFFFFFFu, depth + 1, path, out)) return false;
            } else if (!ReadData(*target, path, out)) {
                return false;
            }
        }
        return true;
    }

private:
    std::optional<std::uint32_t> Load(std::uint32_t offset, int size) const {
        if (offset > m_size || m_size - offset < static_cast<std::uint32_t>(size)) return std::nullopt;
        return m_bytes.Load(m_base + offset, size);
    }

    bool ReadName(std::uint32_t offset, std::u16string& text) const {
        const auto length = Load(offset, 2);
        if (!length) return false;
        for (std::uint32_t i = 0; i < *length; ++i) {
            const auto c = Load(offset + 2 + i * 2, 2);
            if (!c) return false;
            text.push_back(static_cast<char16_t>(*c));
        }
        return true;
    }

    bool ReadData(std::uint32_t offset, const Resource& path, std::vector<Resource>& out) {
        const auto rva = Load(offset, 4);
        const auto size = Load(offset + 4, 4);
        const auto codePage = Load(offset + 8, 4);
        if (!rva || !size || !codePage) return false;
        const auto at = FileOffset(m_bytes, m_layout, *rva);
        if (!at || *at > m_bytes.all.size() || m_bytes.all.size() - *at < *size) return false;
        // Real resources do not overlap, so together they fit in the image; a directory whose entries
        // point at the same bytes over and over would otherwise take memory without end.
        m_copied += *size;
        if (m_copied > m_bytes.all.size()) return false;
        Resource resource = path;
        resource.codePage = *codePage;
        resource.data.assign(m_bytes.all.begin() + static_cast<std::ptrdiff_t>(*at),
                             m_bytes.all.begin() + static_cast<std::ptrdiff_t>(*at + *size));
        out.push_back(std::move(resource));
        return true;
    }

    const Bytes& m_bytes;
    const PeLayout& m_layout;
    std::uint64_t m_base;
    std::uint32_t m_size;
    std::size_t m_visited = 0;
    std::uint64_t m_copied = 0;
};

// Windows looks names up by binary search: named entries first, by their upper-cased text, then
// numbered ones in ascending order.
bool NameBefore(const ResourceName& a, const ResourceName& b) {
    if (a.text.empty() != b.text.empty()) return !a.text.empty();
    if (a.text.empty()) return a.id < b.id;
    const auto upper = [](std::u16string s) {
        for (char16_t& c : s) {
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        }
        return s;
    };
    return upper(a.text) < upper(b.text);
}

struct NameOrder {
    bool operator()(const ResourceName& a, const ResourceName& b) const { return NameBefore(a, b); }
};

using LanguageTable = std::map<std::uint16_t, const Resource*>;
using NameTable = std::map<ResourceName, LanguageTable, NameOrder>;
using TypeTable = std::map<ResourceName, NameTable, NameOrder>;

// The section's bytes for a section placed at `sectionRva`.
std::vector<std::uint8_t> LayOutDirectory(const TypeTable& types, std::uint32_t sectionRva) {
    const auto directorySize = [](std::size_t entries) { return static_cast<std::uint32_t>(16 + entries * 8); };
    // First every directory, then the data entries, the names, and the data itself.
    std::uint32_t size = directorySize(types.size());
    std::size_t leafCount = 0;
    for (const auto& [type, names] : types) {
        size += directorySize(names.size());
        for (const auto& [name, languages] : names) {
            size += directorySize(languages.size());
            leafCount += languages.size();
        }
    }
    const std::uint32_t leavesAt = size;
    std::uint32_t namesAt = leavesAt + static_cast<std::uint32_t>(leafCount * 16);
    std::uint32_t namesSize = 0;
    const auto countName = [&](const ResourceName& n) {
        if (!n.text.empty()) namesSize += static_cast<std::uint32_t>(2 + n.text.size() * 2);
    };
    for (const auto& [type, names] : types) {
        countName(type);
        for (const auto& [name, languages] : names) countName(name);
    }
    std::uint32_t dataAt = AlignUp(namesAt + namesSize, 8);

    std::vector<std::uint8_t> out(dataAt, 0);
    std::uint32_t nextDirectory = 0;
    std::uint32_t nextLeaf = leavesAt;
    std::uint32_t nextName = namesAt;
    const auto nameField = [&](const ResourceName& n) -> std::uint32_t {
        if (n.text.empty()) return n.id;
        const std::uint32_t at = nextName;
        Store(out, at, static_cast<std::uint32_t>(n.text.size()), 2);
        for (std::size_t i = 0; i < n.text.size(); ++i) Store(out, at + 2 + i * 2, n.text[i], 2);
        nextName += static_cast<std::uint32_t>(2 + n.text.size() * 2);
        return 0x80000000u | at;
    };
    const auto header = [&](std::uint32_t at, std::size_t named, std::size_t ids) {
        Store(out, at + 12, static_cast<std::uint32_t>(named), 2);
        Store(out, at + 14, static_cast<std::uint32_t>(ids), 2);
    };
    const auto namedCount = [](const auto& table) {
        return static_cast<std::size_t>(
            std::count_if(table.begin(), table.end(), [](const auto& e) { return !e.first.text.empty(); }));
    };

    const std::uint32_t root = nextDirectory;
    nextDirectory += directorySize(types.size());
    header(root, namedCount(types), types.size() - namedCount(types));
    std::size_t typeIndex = 0;
    for (const auto& [type, names] : types) {
        const std::uint32_t typeDirectory = nextDirectory;
        nextDirectory += directorySize(names.size());
        Store(out, root + 16 + typeIndex * 8, nameField(type), 4);
        Store(out, root + 20 + typeIndex * 8, 0x80000000u | typeDirectory, 4);
        ++typeIndex;
        header(typeDirectory, namedCount(names), names.size() - namedCount(names));
        std::size_t nameIndex = 0;
        for (const auto& [name, languages] : names) {
            const std::uint32_t nameDirectory = nextDirectory;
            nextDirectory += directorySize(languages.size());
            Store(out, typeDirectory + 16 + nameIndex * 8, nameField(name), 4);
            Store(out, typeDirectory + 20 + nameIndex * 8, 0x80000000u | nameDirectory, 4);
            ++nameIndex;
            header(nameDirectory, 0, languages.size());
            std::size_t languageIndex = 0;
            for (const auto& [language, resource] : languages) {
                Store(out, nameDirectory + 16 + languageIndex * 8, language, 4);
                Store(out, nameDirectory + 20 + languageIndex * 8, nextLeaf, 4);
                ++languageIndex;
                Store(out, nextLeaf, sectionRva + static_cast<std::uint32_t>(out.size()), 4);
                Store(out, nextLeaf + 4, static_cast<std::uint32_t>(resource->data.size()), 4);
                Store(out, nextLeaf + 8, resource->codePage, 4);
                nextLeaf += 16;
                out.insert(out.end(), resource->data.begin(), resource->data.end());
                out.resize(AlignUp(out.size(), 8), 0);
            }
        }
    }
    return out;
}

}  // namespace

std::optional<std::vector<Resource>> ReadResources(std::span<const std::uint8_t> image) {
    const Bytes bytes{image};
    const auto layout = FindLayout(bytes);
    if (!layout) return std::nullopt;
    std::vector<Resource> resources;
    if (layout->directoryCount <= kResourceDirectory) return resources;
    const std::size_t entryAt = layout->directoriesAt + kResourceDirectory * 8;
    const std::uint32_t rva = *bytes.Load(entryAt, 4);
    const std::uint32_t size = *bytes.Load(entryAt + 4, 4);
    if (rva == 0 && size == 0) return resources;
    const auto base = FileOffset(bytes, *layout, rva);
    if (!base || *base > image.size()) return std::nullopt;
    const std::uint32_t available = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, image.size() - *base));
    DirectoryReader reader(bytes, *layout, *base, available);
    Resource path;
    if (!reader.Walk(0, 0, path, resources)) return std::nullopt;
    return resources;
}

std::optional<std::vector<std::uint8_t>> WithResources(std::span<const std::uint8_t> image,
                                                       const std::vector<Resource>& resources) {
    const Bytes bytes{image};
    const auto layout = FindLayout(bytes);
    if (!layout || layout->directoryCount <= kSecurityDirectory) return std::nullopt;
    const std::size_t optionalAt = layout->optionalAt;
    const std::uint32_t sectionAlignment = *bytes.Load(optionalAt + 32, 4);
    const std::uint32_t fileAlignment = *bytes.Load(optionalAt + 36, 4);
    const std::uint32_t headersSize = *bytes.Load(optionalAt + 60, 4);
    const std::size_t newHeaderAt = layout->sectionsAt + layout->sectionCount * kSectionHeaderSize;
    if (sectionAlignment == 0 || fileAlignment == 0 || newHeaderAt + kSectionHeaderSize > headersSize) {
        return std::nullopt;
    }
    // The headers' room must be zeros, not the start of a section.
    for (std::size_t i = 0; i < layout->sectionCount; ++i) {
        const std::uint32_t rawAt = *bytes.Load(layout->sectionsAt + i * kSectionHeaderSize + 20, 4);
        if (rawAt != 0 && rawAt < newHeaderAt + kSectionHeaderSize) return std::nullopt;
    }

    // A certificate table made for the old image is cut off; it runs to the end of a signed file.
    std::uint64_t keep = image.size();
    const std::size_t securityAt = layout->directoriesAt + kSecurityDirectory * 8;
    if (const std::uint32_t table = *bytes.Load(securityAt, 4); table != 0 && table < keep) keep = table;

    std::uint64_t virtualEnd = 0;
    for (std::size_t i = 0; i < layout->sectionCount; ++i) {
        const std::size_t at = layout->sectionsAt + i * kSectionHeaderSize;
        const std::uint32_t virtualSize = *bytes.Load(at + 8, 4);
        const std::uint32_t rawSize = *bytes.Load(at + 16, 4);
        virtualEnd = std::max<std::uint64_t>(virtualEnd,
                                             std::uint64_t{*bytes.Load(at + 12, 4)} + std::max(virtualSize, rawSize));
    }
    const std::uint32_t sectionRva = AlignUp(virtualEnd, sectionAlignment);
    const std::uint32_t sectionFileAt = AlignUp(keep, fileAlignment);

    TypeTable types;
    for (const Resource& r : resources) types[r.type][r.name][r.language] = &r;
    const std::vector<std::uint8_t> section = LayOutDirectory(types, sectionRva);
    const std::uint32_t rawSize = AlignUp(section.size(), fileAlignment);

    std::vector<std::uint8_t> out(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(keep));
    out.resize(sectionFileAt, 0);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(std::size_t{sectionFileAt} + rawSize, 0);

    static constexpr char kName[8] = {'.', 'k', 'v', 'r', 's', 'r', 'c', 0};
    for (std::size_t i = 0; i < 8; ++i) out[newHeaderAt + i] = static_cast<std::uint8_t>(kName[i]);
    Store(out, newHeaderAt + 8, static_cast<std::uint32_t>(section.size()), 4);
    Store(out, newHeaderAt + 12, sectionRva, 4);
    Store(out, newHeaderAt + 16, rawSize, 4);
    Store(out, newHeaderAt + 20, sectionFileAt, 4);
    Store(out, newHeaderAt + 36, 0x40000040u, 4);  // initialised data, readable
    Store(out, layout->coffAt + 2, layout->sectionCount + 1u, 2);
    Store(out, optionalAt + 8, *bytes.Load(optionalAt + 8, 4) + rawSize, 4);  // SizeOfInitializedData
    Store(out, optionalAt + 56, AlignUp(std::uint64_t{sectionRva} + section.size(), sectionAlignment), 4);
    Store(out, optionalAt + 64, 0, 4);  // CheckSum
    Store(out, securityAt, 0, 4);
    Store(out, securityAt + 4, 0, 4);
    const std::size_t resourceAt = layout->directoriesAt + kResourceDirectory * 8;
    Store(out, resourceAt, sectionRva, 4);
    Store(out, resourceAt + 4, static_cast<std::uint32_t>(section.size()), 4);
    return out;
}

std::optional<std::u16string> FindString(const std::vector<Resource>& resources, std::uint16_t id) {
    const std::uint16_t block = static_cast<std::uint16_t>(id / 16 + 1);
    for (const Resource& r : resources) {
        if (r.type != ResourceName{kResourceString, {}} || r.name != ResourceName{block, {}}) continue;
        std::size_t at = 0;
        for (std::uint16_t index = 0; index < 16 && at + 2 <= r.data.size(); ++index) {
            const std::size_t length = r.data[at] | r.data[at + 1] << 8;
            at += 2;
            if (at + length * 2 > r.data.size()) return std::nullopt;
            if (index == id % 16) {
                if (length == 0) return std::nullopt;
                std::u16string text;
                for (std::size_t i = 0; i < length; ++i)
                    text.push_back(static_cast<char16_t>(r.data[at + i * 2] | r.data[at + i * 2 + 1] << 8));
                return text;
            }
            at += length * 2;
        }
    }
    return std::nullopt;
}

void SetString(std::vector<Resource>& resources, std::uint16_t id, const std::u16string& text, std::uint16_t language) {
    const std::uint16_t block = static_cast<std::uint16_t>(id / 16 + 1);
    auto it = std::find_if(resources.begin(), resources.end(), [&](const Resource& r) {
        return r.type == ResourceName{kResourceString, {}} && r.name == ResourceName{block, {}};
    });
    std::u16string strings[16];
    for (std::uint16_t index = 0; index < 16; ++index) {
        if (it != resources.end())
            strings[index] = FindString(resources, static_cast<std::uint16_t>((block - 1) * 16 + index)).value_or(u"");
    }
    strings[id % 16] = text;
    if (it == resources.end()) {
        Resource created;
        created.type = {kResourceString, {}};
        created.name = {block, {}};
        created.language = language;
        resources.push_back(std::move(created));
        it = resources.end() - 1;
    }
    it->data.clear();
    for (const std::u16string& s : strings) {
        Append(it->data, static_cast<std::uint32_t>(s.size()), 2);
        for (char16_t c : s) Append(it->data, c, 2);
    }
}

}  // namespace kv::tools

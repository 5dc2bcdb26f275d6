// The resources of a Windows program image, read and written without Windows: kvpack reads them to
// know its stub and uninstaller and to list a built installer's product texts, and gives a stub the
// product's own version resource, icon and texts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kv::tools {

// A type or name: a number, or a text when `text` is not empty.
struct ResourceName {
    std::uint16_t id = 0;
    std::u16string text;
    bool operator==(const ResourceName&) const = default;
};

struct Resource {
    ResourceName type;
    ResourceName name;
    std::uint16_t language = 0;
    std::uint32_t codePage = 0;
    std::vector<std::uint8_t> data;
};

inline constexpr std::uint16_t kResourceIcon = 3;
inline constexpr std::uint16_t kResourceString = 6;
inline constexpr std::uint16_t kResourceGroupIcon = 14;
inline constexpr std::uint16_t kResourceVersion = 16;

// Every resource of a PE32 or PE32+ image in its directory's order; nothing when `image` is no such
// image or its resource directory does not lie inside it (an image with no resources gives none).
std::optional<std::vector<Resource>> ReadResources(std::span<const std::uint8_t> image);

// The image with `resources` as its resource directory, in a section appended behind everything the
// image holds (the section it had stays, unreferenced). The PE checksum and any certificate table
// are dropped, since the changed image is no longer what they were made for. Nothing when the
// headers have no room for one more section.
std::optional<std::vector<std::uint8_t>> WithResources(std::span<const std::uint8_t> image,
                                                       const std::vector<Resource>& resources);

// String `id` of a string table among `resources`; nothing when absent or empty.
std::optional<std::u16string> FindString(const std::vector<Resource>& resources, std::uint16_t id);

// Sets string `id` in the string table block that holds it (created, in `language`, when missing).
void SetString(std::vector<Resource>& resources, std::uint16_t id, const std::u16string& text, std::uint16_t language);

}  // namespace kv::tools

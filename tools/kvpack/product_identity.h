// The product's identity that a project may give: its version, publisher, addresses, icon and the
// texts the installer shows as its own. kvpack puts it into the stub's resources, where Windows shows
// it in the file's properties and the installer reads it at run time; without it the stub is packed
// unchanged.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "archive/format.h"
#include "archive/product_texts.h"

namespace kv::tools {

// The texts by their string-table id (index = id - 1), in the Windows-1252 code page.
using ProductTexts = std::array<std::optional<std::string>, KV_TEXT_COUNT>;

struct ProductIdentity {
    ProductTexts texts;
    std::optional<std::filesystem::path> icon;  // an .ico file
    bool Given() const;
    std::optional<std::string>& Text(int id) { return texts[static_cast<std::size_t>(id - 1)]; }
    const std::optional<std::string>& Text(int id) const { return texts[static_cast<std::size_t>(id - 1)]; }
};

// The project key of each text, by id.
const char* ProductTextKey(int id);

// The stub with the identity's version resource, icon and texts in its resources. `icon` holds the
// .ico file's bytes when the identity names one. ToolError kExitBadInput when the .ico is not one or
// the stub has no room for another section.
std::vector<std::uint8_t> ApplyIdentity(std::span<const std::uint8_t> stub, const ProductIdentity& identity,
                                        const kv::archive::Manifest& manifest, std::span<const std::uint8_t> icon);

// What a built installer's program image says about the product: the texts it carries and the
// sizes of its icon's images ("16x16", ...), read back from its resources.
struct ShownIdentity {
    ProductTexts texts;  // as UTF-8
    std::vector<std::string> iconImages;
};
ShownIdentity ReadIdentity(std::span<const std::uint8_t> image);

// Which of this project's programs an image is, by its mark: KV_INSTALLER_MARK, KV_UNINSTALLER_MARK,
// or nothing for any other file.
std::optional<std::string> ProgramMark(std::span<const std::uint8_t> image);

}  // namespace kv::tools

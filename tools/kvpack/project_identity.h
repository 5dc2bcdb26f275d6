// The project keys of the product's identity (version, publisher, addresses, icon, the installer's
// own texts) and of the licence's text colour, read apart from the rest of the project file.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <toml++/toml.h>

#include "tools/kvpack/product_identity.h"

namespace kv::tools {

// The keys read here, for the loader's unknown-key check.
std::span<const std::string_view> IdentityKeys();

// What the loader lends: a text key checked and converted to the 8-bit code page (nothing when
// missing or wrong, after reporting), and the report of a mistake.
struct IdentityReading {
    std::function<std::optional<std::string>(std::string_view key, std::size_t limit)> text;
    std::function<void(const toml::node* node, const std::string& field, const std::string& message)> error;
    std::function<std::filesystem::path(std::string_view)> resolvePath;
};

struct ProjectIdentityKeys {
    ProductIdentity identity;
    std::optional<std::uint32_t> licenseTextColor;  // 0xRRGGBB
};

// Reads the keys. A missing vendor word is the publisher; a missing help link the support address
// (an e-mail address as a mailto: link).
ProjectIdentityKeys ReadIdentityKeys(const toml::table& root, const IdentityReading& reading);

}  // namespace kv::tools

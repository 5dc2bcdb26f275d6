// Reading the identity keys of a project file.
#include "tools/kvpack/project_identity.h"

#include <array>

#include "archive/version_numbers.h"

namespace kv::tools {
namespace {

constexpr std::string_view kKeys[] = {"version", "publisher", "url",        "support", "helpLink",
                                      "caption", "copyright", "vendorWord", "icon",    "licenseTextColor"};

// Long enough for any real text, short enough for a line of the dialog or a registry value.
constexpr std::size_t kTextLimit = 259;

std::optional<std::uint32_t> ParseColor(std::string_view text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text.substr(1)) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::span<const std::string_view> IdentityKeys() { return kKeys; }

ProjectIdentityKeys ReadIdentityKeys(const toml::table& root, const IdentityReading& reading) {
    ProjectIdentityKeys keys;
    ProductIdentity& identity = keys.identity;
    for (int id = 1; id <= KV_TEXT_COUNT; ++id) {
        const char* key = ProductTextKey(id);
        identity.Text(id) = reading.text(key, kTextLimit);
    }
    if (const auto& version = identity.Text(KV_TEXT_VERSION); version && !kv::archive::VersionNumbers(*version)) {
        reading.error(root.get("version"), "version",
                      "must begin with numbers from 0 to 65535 separated by dots, like \"8.0\" or \"2.1.3\"");
    }
    if (!identity.Text(KV_TEXT_VENDOR_WORD)) identity.Text(KV_TEXT_VENDOR_WORD) = identity.Text(KV_TEXT_PUBLISHER);
    if (!identity.Text(KV_TEXT_HELP_LINK)) {
        if (const auto& support = identity.Text(KV_TEXT_SUPPORT)) {
            const bool email = support->find('@') != std::string::npos && support->find(':') == std::string::npos;
            identity.Text(KV_TEXT_HELP_LINK) = email ? "mailto:" + *support : *support;
        }
    }
    if (const toml::node* node = root.get("icon")) {
        const auto* text = node->as_string();
        if (text == nullptr || text->get().empty()) {
            reading.error(node, "icon", "must be the path of an .ico file");
        } else {
            identity.icon = reading.resolvePath(text->get());
            std::error_code ec;
            if (!std::filesystem::is_regular_file(*identity.icon, ec))
                reading.error(node, "icon", "no such file: " + identity.icon->string());
        }
    }
    if (const toml::node* node = root.get("licenseTextColor")) {
        const auto* text = node->as_string();
        keys.licenseTextColor = text != nullptr ? ParseColor(text->get()) : std::nullopt;
        if (!keys.licenseTextColor) reading.error(node, "licenseTextColor", "must be a colour like \"#FFFFFF\"");
    }
    return keys;
}

}  // namespace kv::tools

// Checking, colouring and wrapping the licence text.
#include "tools/kvpack/license_text.h"

#include <regex>
#include <string_view>

#include "tools/kvpack/ansi_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {
namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

std::string ColorTable(std::uint32_t color) {
    return "{\\colortbl;\\red" + std::to_string(color >> 16 & 0xFF) + "\\green" + std::to_string(color >> 8 & 0xFF) +
           "\\blue" + std::to_string(color & 0xFF) + ";}\\cf1 ";
}

bool IsPlainText(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') return false;
    }
    return true;
}

// Plain text as an RTF document in a fixed-width font, each line a paragraph, characters beyond
// ASCII (Windows-1252) written as \'hh escapes.
std::string WrapText(std::string_view bytes, std::uint32_t color) {
    const std::string ansi = Utf8ToAnsi(bytes).value_or(std::string(bytes));
    std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern Courier New;}}" + ColorTable(color) + "\\f0\\fs18\n";
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        const auto c = static_cast<unsigned char>(ansi[i]);
        if (c == '\r') continue;
        if (c == '\n') {
            rtf += "\\par\n";
        } else if (c == '\\' || c == '{' || c == '}') {
            rtf += '\\';
            rtf += static_cast<char>(c);
        } else if (c == '\t') {
            rtf += "\\tab ";
        } else if (c >= 0x80) {
            rtf += "\\'";
            rtf += kHex[c >> 4];
            rtf += kHex[c & 15];
        } else if (c >= 0x20) {
            rtf += static_cast<char>(c);
        }
    }
    return rtf + "}\n";
}

}  // namespace

std::vector<std::uint8_t> PrepareLicense(const std::vector<std::uint8_t>& data, const std::string& name,
                                         std::optional<std::uint32_t> textColor, std::vector<std::string>& warnings) {
    const std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
    if (!text.starts_with("{\\rtf")) {
        if (!IsPlainText(text)) {
            throw ToolError(kExitBadInput,
                            "licence " + name + ": neither RTF nor plain text, and the licence dialog shows only RTF");
        }
        const std::string rtf = WrapText(text, textColor.value_or(kWhite));
        return {rtf.begin(), rtf.end()};
    }
    // \cf1 and up pick a colour of the document's own table; \cf0 is the dialog's dark blue.
    static const std::regex kTextColor(R"(\\cf[1-9])");
    if (std::regex_search(text.begin(), text.end(), kTextColor)) return data;
    if (!textColor) {
        warnings.push_back("licence " + name +
                           ": sets no text colour, so the licence dialog shows it dark blue on black; give it one "
                           "with licenseTextColor = \"#FFFFFF\" in the project");
        return data;
    }
    if (text.find("\\colortbl") != std::string_view::npos) {
        throw ToolError(kExitBadInput, "licence " + name +
                                           ": has a colour table of its own, so licenseTextColor cannot add one: set "
                                           "the text colour with \\cf in the file");
    }
    // The colour goes right behind "{\rtfN", where it holds for the whole document.
    std::size_t at = 5;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    std::string out(text.substr(0, at));
    out += ColorTable(*textColor);
    out += text.substr(at);
    return {out.begin(), out.end()};
}

}  // namespace kv::tools

// The licence agreement's text as the licence dialog can show it: the dialog shows RTF only, dark
// blue on black unless the text sets its own colour.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::tools {

// The licence's bytes to pack. RTF passes unchanged, or with `textColor` (0xRRGGBB) as its text
// colour when it sets none and has no colour table; without `textColor` such a licence adds a
// warning. Plain text is wrapped into RTF in `textColor`, else white. ToolError kExitBadInput, naming
// `name`, for anything else, and for a colour the RTF's own colour table would have to carry.
std::vector<std::uint8_t> PrepareLicense(const std::vector<std::uint8_t>& data, const std::string& name,
                                         std::optional<std::uint32_t> textColor, std::vector<std::string>& warnings);

}  // namespace kv::tools

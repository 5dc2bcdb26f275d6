// libmspack's SZDD decompressor run in memory through a custom mspack_system (no files touched),
// the reference the expander's speed is measured against.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kv::bench {

class MspackSzdd {
public:
    MspackSzdd();
    ~MspackSzdd();
    MspackSzdd(const MspackSzdd&) = delete;
    MspackSzdd& operator=(const MspackSzdd&) = delete;

    // Expands one SZDD file into `out` (cleared first); false when libmspack reports an error.
    bool Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& out);

private:
    struct Impl;
    Impl* m_pImpl;
};

}  // namespace kv::bench

// A smallest-possible 32-bit Windows program image (headers, one section holding a `ret`) for tests
// that sign installers or look for the fields signing rewrites. Its PE checksum field is zero.
#pragma once

#include <cstdint>
#include <vector>

namespace kv::test {

inline constexpr std::size_t kMinimalPeOptionalHeader = 0x58;
inline constexpr std::size_t kMinimalPeChecksumAt = kMinimalPeOptionalHeader + 64;
inline constexpr std::size_t kMinimalPeSecurityEntryAt = kMinimalPeOptionalHeader + 96 + 4 * 8;

inline std::vector<std::uint8_t> MinimalPeImage() {
    std::vector<std::uint8_t> image(0x400, 0);
    const auto put = [&image](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    put(0x00, 'M' | 'Z' << 8, 2);
    put(0x3C, 0x40, 4);        // e_lfanew
    put(0x40, 0x00004550, 4);  // "PE\0\0"
    put(0x44, 0x014C, 2);      // i386
    put(0x46, 1, 2);           // one section
    put(0x54, 0xE0, 2);        // SizeOfOptionalHeader
    put(0x56, 0x0102, 2);      // executable, 32-bit
    const std::size_t opt = kMinimalPeOptionalHeader;
    put(opt + 0, 0x10B, 2);      // PE32
    put(opt + 4, 0x200, 4);      // SizeOfCode
    put(opt + 16, 0x1000, 4);    // AddressOfEntryPoint
    put(opt + 20, 0x1000, 4);    // BaseOfCode
    put(opt + 28, 0x400000, 4);  // ImageBase
    put(opt + 32, 0x1000, 4);    // SectionAlignment
    put(opt + 36, 0x200, 4);     // FileAlignment
    put(opt + 40, 4, 2);         // OS version 4.0
    put(opt + 48, 4, 2);         // subsystem version 4.0
    put(opt + 56, 0x2000, 4);    // SizeOfImage
    put(opt + 60, 0x200, 4);     // SizeOfHeaders
    put(opt + 68, 2, 2);         // Windows GUI
    put(opt + 72, 0x100000, 4);  // stack reserve
    put(opt + 76, 0x1000, 4);    // stack commit
    put(opt + 80, 0x100000, 4);  // heap reserve
    put(opt + 84, 0x1000, 4);    // heap commit
    put(opt + 92, 16, 4);        // NumberOfRvaAndSizes
    const std::size_t section = opt + 0xE0;
    put(section + 0, '.' | 't' << 8 | 'e' << 16 | 'x' << 24, 4);
    put(section + 4, 't', 4);
    put(section + 8, 0x200, 4);        // VirtualSize
    put(section + 12, 0x1000, 4);      // VirtualAddress
    put(section + 16, 0x200, 4);       // SizeOfRawData
    put(section + 20, 0x200, 4);       // PointerToRawData
    put(section + 36, 0x60000020, 4);  // code, execute, read
    image[0x200] = 0xC3;               // ret
    return image;
}

}  // namespace kv::test

// Finding the PE checksum field and the security directory entry, with every offset bounds-checked:
// a hostile file can only make the search come back empty.
#include "archive/pe_signing.h"

#include <algorithm>
#include <array>

#include "archive/byte_reader.h"

namespace kv::archive {
namespace {

constexpr std::uint64_t kPeHeaderPointerAt = 0x3C;  // e_lfanew in the DOS header
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::size_t kChecksumInOptionalHeader = 64;
constexpr std::uint32_t kSecurityDirectory = 4;
// Signature, COFF header and an optional header up to the end of the security entry of PE32+.
constexpr std::size_t kHeaderBytes = 4 + kCoffHeaderSize + 112 + (kSecurityDirectory + 1) * kSecurityEntrySize;

bool ReadExactly(ReadAtSource& source, std::uint64_t offset, std::span<std::uint8_t> into) {
    return source.ReadAt(offset, into) == into.size();
}

}  // namespace

std::optional<PeSigningFields> FindPeSigningFields(ReadAtSource& source) {
    std::array<std::uint8_t, 0x40> dos{};
    if (!ReadExactly(source, 0, dos) || dos[0] != 'M' || dos[1] != 'Z') return std::nullopt;
    ByteReader dosReader(dos);
    dosReader.seek(kPeHeaderPointerAt);
    const std::uint64_t peAt = dosReader.u32le("e_lfanew");

    // A PE32 header is shorter than kHeaderBytes; whatever the source holds behind it is read too,
    // and a file too short for the longer form is still judged by the fields it has.
    std::array<std::uint8_t, kHeaderBytes> header{};
    const std::size_t got = source.ReadAt(peAt, header);
    ByteReader reader(std::span<const std::uint8_t>(header).first(got));
    try {
        if (reader.u32le("signature") != 0x00004550u) return std::nullopt;  // "PE\0\0"
        reader.seek(4 + 16);
        const std::uint16_t optionalSize = reader.u16le("SizeOfOptionalHeader");
        const std::size_t optionalAt = 4 + kCoffHeaderSize;
        reader.seek(optionalAt);
        const std::uint16_t magic = reader.u16le("Magic");
        if (magic != kPe32Magic && magic != kPe32PlusMagic) return std::nullopt;
        const std::size_t countAt = magic == kPe32Magic ? 92 : 108;  // NumberOfRvaAndSizes
        const std::size_t directoriesAt = countAt + 4;
        const std::size_t entryAt = directoriesAt + kSecurityDirectory * kSecurityEntrySize;
        if (optionalSize < entryAt + kSecurityEntrySize) return std::nullopt;
        reader.seek(optionalAt + countAt);
        if (reader.u32le("NumberOfRvaAndSizes") <= kSecurityDirectory) return std::nullopt;
        reader.seek(optionalAt + entryAt);
        PeSigningFields fields;
        fields.tableOffset = reader.u32le("security offset");
        fields.tableSize = reader.u32le("security size");
        fields.checksumAt = peAt + optionalAt + kChecksumInOptionalHeader;
        fields.securityEntryAt = peAt + optionalAt + entryAt;
        return fields;
    } catch (const FormatError&) {
        return std::nullopt;  // the headers end inside a field: not an image we can sign
    }
}

bool ClearPeSigningFields(std::span<std::uint8_t> image) {
    SpanSource source(image);
    const std::optional<PeSigningFields> fields = FindPeSigningFields(source);
    if (!fields) return false;
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(fields->checksumAt), kPeChecksumSize, 0);
    std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(fields->securityEntryAt), kSecurityEntrySize, 0);
    return true;
}

}  // namespace kv::archive

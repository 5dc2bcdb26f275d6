// The whole installer file: locating trailer and manifest from the end and verifying them.
// Building one is in installer_build.cpp, which the installer program does not link.
#include "archive/installer_file.h"

#include <array>

#include "archive/byte_reader.h"
#include "archive/checksum.h"
#include "archive/manifest_io.h"
#include "archive/pe_signing.h"

namespace kv::archive {
namespace {

constexpr std::uint64_t kWinCertificateHeaderSize = 8;  // dwLength, wRevision, wCertificateType

// A signed file: the security directory entry names a certificate table that runs to the end of the
// file, and the two rewritten fields lie in the summed part in front of the stored checksum.
bool SignedAtEnd(const PeSigningFields& pe, std::uint64_t fileSize) {
    const std::uint64_t end = std::uint64_t{pe.tableOffset} + pe.tableSize;
    return pe.tableSize >= kWinCertificateHeaderSize && end == fileSize && pe.tableOffset >= kTrailerSize &&
           pe.checksumAt + kPeChecksumSize <= pe.tableOffset - 4 &&
           pe.securityEntryAt + kSecurityEntrySize <= pe.tableOffset - 4;
}

}  // namespace

ArchiveTrailer ReadTrailer(std::span<const std::uint8_t> wholeFile) {
    if (wholeFile.size() < kTrailerSize) {
        throw FormatError("manifestLength", "the file of " + std::to_string(wholeFile.size()) +
                                                " bytes is shorter than the 8-byte trailer");
    }
    ByteReader reader(wholeFile.last(kTrailerSize));
    ArchiveTrailer trailer;
    trailer.manifestLength = reader.u32le("manifestLength");
    trailer.checksum = reader.u32le("checksum");
    return trailer;
}

InstallerChecksum ChecksumInstaller(ReadAtSource& source) {
    InstallerChecksum result;
    result.fileSize = source.Size();
    result.archiveEnd = result.fileSize;
    const std::optional<PeSigningFields> pe = FindPeSigningFields(source);
    const bool isSigned = pe && SignedAtEnd(*pe, result.fileSize);
    if (isSigned) {
        result.archiveEnd = pe->tableOffset;
        result.certificateTable = CertificateTable{pe->tableOffset, pe->tableSize};
    }
    if (result.archiveEnd < 4) {
        result.readWhole = true;  // too short to hold a checksum: matches() says no
        return result;
    }
    const std::uint64_t summed = result.archiveEnd - 4;
    std::optional<std::uint32_t> sum = SignedByteSumOf(source, summed);
    std::array<std::uint8_t, 4> stored{};
    if (!sum || source.ReadAt(summed, stored) != stored.size()) return result;
    if (isSigned) {
        // Signing rewrote these bytes; the builder left zeros there, so they count as zeros.
        std::array<std::uint8_t, kPeChecksumSize> checksumField{};
        std::array<std::uint8_t, kSecurityEntrySize> securityEntry{};
        if (source.ReadAt(pe->checksumAt, checksumField) != checksumField.size() ||
            source.ReadAt(pe->securityEntryAt, securityEntry) != securityEntry.size()) {
            return result;
        }
        *sum -= SignedByteSum(checksumField) + SignedByteSum(securityEntry);
    }
    result.computed = *sum;
    result.stored = ByteReader(stored).u32le("checksum");
    result.readWhole = true;
    return result;
}

OpenedInstaller OpenInstaller(ReadAtSource& source, const InstallerChecksum& checksum) {
    // Nothing is read before the whole file has proved intact.
    if (!checksum.matches()) {
        throw FormatError("checksum", !checksum.readWhole       ? "the file cannot be read whole"
                                      : checksum.archiveEnd < 4 ? "the file is too short to hold a checksum"
                                                                : "the checksum does not match: the file is corrupt");
    }
    OpenedInstaller opened;
    opened.fileSize = checksum.fileSize;
    opened.archiveEnd = checksum.archiveEnd;
    opened.certificateTable = checksum.certificateTable;
    if (checksum.archiveEnd < kTrailerSize) {
        throw FormatError("manifestLength", "the file of " + std::to_string(checksum.archiveEnd) +
                                                " bytes is shorter than the 8-byte trailer");
    }
    std::array<std::uint8_t, kTrailerSize> trailer{};
    if (source.ReadAt(checksum.archiveEnd - kTrailerSize, trailer) != trailer.size()) {
        throw FormatError("manifestLength", "the trailer cannot be read");
    }
    opened.trailer = ReadTrailer(trailer);
    const std::uint64_t room = checksum.archiveEnd - kTrailerSize;
    if (opened.trailer.manifestLength > room) {
        throw FormatError("manifestLength", "a manifest of " + std::to_string(opened.trailer.manifestLength) +
                                                " bytes does not fit in front of the trailer (" + std::to_string(room) +
                                                " bytes)");
    }
    opened.manifestStart = room - opened.trailer.manifestLength;
    opened.manifestBlock.assign(opened.trailer.manifestLength, 0);  // a short read leaves zeros
    (void)source.ReadAt(opened.manifestStart, opened.manifestBlock);
    opened.manifest = ReadManifest(opened.manifestBlock, opened.manifestStart);
    // The installation run reads on behind the four header strings; ReadManifest has checked them.
    ByteReader cursor(opened.manifestBlock);
    cursor.cstr(kTitleLimit, "title");
    cursor.cstr(kDisplayNameLimit, "displayName");
    cursor.cstr(kPathLimit, "setupName");
    cursor.cstr(kPathLimit, "defaultFolder");
    opened.headerEnd = cursor.position();
    return opened;
}

OpenedInstaller OpenInstaller(ReadAtSource& source) { return OpenInstaller(source, ChecksumInstaller(source)); }

OpenedInstaller OpenInstaller(std::span<const std::uint8_t> wholeFile) {
    SpanSource source(wholeFile);
    return OpenInstaller(source);
}

}  // namespace kv::archive

// Fuzz target of the manifest reader and of OpenInstaller, signed files included. Besides "no crash,
// no overrun", it checks that whatever the reader accepts, the builder's checks accept too and the
// writer reproduces.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/checksum.h"
#include "archive/installer_file.h"
#include "archive/manifest_io.h"
#include "tests/archive/minimal_pe.h"

namespace {

using namespace kv::archive;

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckAccepted(const Manifest& manifest, std::uint64_t manifestStart) {
    CheckManifest(manifest);  // must not throw: the reader refuses everything the builder refuses
    const std::vector<std::uint8_t> rewritten = WriteManifest(manifest);
    Require(ReadManifest(rewritten, manifestStart) == manifest);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);

    // The input as a manifest block, with entries allowed anywhere in front of 64 KiB.
    try {
        const Manifest manifest = ReadManifest(input, 0x10000);
        CheckAccepted(manifest, 0x10000);
    } catch (const FormatError&) {}

    // The input as a whole file, as it comes...
    try {
        const OpenedInstaller opened = OpenInstaller(input);
        CheckAccepted(opened.manifest, opened.manifestStart);
    } catch (const FormatError&) {}

    // ...and with its checksum put right, so that the trailer and manifest checks get exercised.
    if (size >= 8) {
        std::vector<std::uint8_t> file(data, data + size);
        const std::uint32_t sum = ChecksumOf(file);
        for (int i = 0; i < 4; ++i) file[size - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
        try {
            const OpenedInstaller opened = OpenInstaller(file);
            Require(opened.manifestStart + opened.trailer.manifestLength + kTrailerSize == size);
            for (const FileRecord& record : opened.manifest.files) {
                Require(std::uint64_t{record.offset} + record.length <= opened.manifestStart);
            }
            CheckAccepted(opened.manifest, opened.manifestStart);
        } catch (const FormatError&) {}
    }

    // ...and as the archive of a signed file: a program image in front, a certificate table behind.
    if (size >= 8) {
        std::vector<std::uint8_t> file = kv::test::MinimalPeImage();
        file.insert(file.end(), data, data + size);
        const std::uint32_t sum = ChecksumOf(file);
        for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
        const std::uint64_t archiveEnd = file.size();
        const auto put = [&file](std::size_t at, std::uint64_t value) {
            for (int i = 0; i < 4; ++i) file[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        };
        put(kv::test::kMinimalPeSecurityEntryAt, archiveEnd);
        put(kv::test::kMinimalPeSecurityEntryAt + 4, 16);
        put(kv::test::kMinimalPeChecksumAt, 0x1234);
        file.resize(file.size() + 16, 0xA5);
        try {
            const OpenedInstaller opened = OpenInstaller(file);
            Require(opened.certificateTable && opened.archiveEnd == archiveEnd);
            CheckAccepted(opened.manifest, opened.manifestStart);
        } catch (const FormatError&) {}
    }
    return 0;
}

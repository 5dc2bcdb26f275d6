// Building a whole installer file: program image, entries, manifest, trailer. Kept apart from the
// reader so that the installer program, which only reads, links none of it.
#include "archive/installer_file.h"

#include "archive/checksum.h"
#include "archive/little_endian.h"
#include "archive/manifest_io.h"

namespace kv::archive {

std::vector<std::uint8_t> BuildInstaller(std::span<const std::uint8_t> programImage, Manifest manifest,
                                         const std::vector<std::vector<std::uint8_t>>& entries) {
    if (entries.size() != manifest.files.size()) {
        throw FormatError("files", "there are " + std::to_string(manifest.files.size()) + " file records but " +
                                       std::to_string(entries.size()) + " entries");
    }
    CheckManifest(manifest);

    // Entries follow the program image back to back. The reader refuses offsets from 2^31 on, so the
    // whole payload must end below that.
    std::uint64_t position = programImage.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::uint64_t end = position + entries[i].size();
        if (end > kMaxOffset) {
            throw FormatError("files[" + std::to_string(i) + "].length",
                              "the entries would reach past 2 GiB, which offsets cannot address");
        }
        manifest.files[i].offset = static_cast<std::uint32_t>(position);
        manifest.files[i].length = static_cast<std::uint32_t>(entries[i].size());
        position = end;
    }

    const std::vector<std::uint8_t> body = WriteManifest(manifest);
    // One zero byte ends the manifest; zero padding then makes the whole file a multiple of 8 bytes
    // long, so that a signature can later be appended on an aligned boundary.
    const std::uint64_t unpadded = position + body.size() + 1 + kTrailerSize;
    const std::size_t trailing = 1 + static_cast<std::size_t>((8 - unpadded % 8) % 8);
    const std::uint64_t manifestLength = body.size() + trailing;
    if (manifestLength > UINT32_MAX) {
        throw FormatError("manifestLength", "the manifest is larger than 4 GiB");
    }

    std::vector<std::uint8_t> file;
    file.reserve(static_cast<std::size_t>(position + manifestLength + kTrailerSize));
    file.insert(file.end(), programImage.begin(), programImage.end());
    for (const auto& entry : entries) file.insert(file.end(), entry.begin(), entry.end());
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), trailing, 0);
    AppendU32le(file, static_cast<std::uint32_t>(manifestLength));
    AppendU32le(file, 0);  // room for the checksum, which covers everything before it
    const std::uint32_t checksum = ChecksumOf(file);
    file.resize(file.size() - 4);
    AppendU32le(file, checksum);
    return file;
}

}  // namespace kv::archive

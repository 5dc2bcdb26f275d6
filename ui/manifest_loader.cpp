// Trailer and manifest from the end of an open installer file.
#include "ui/manifest_loader.h"

#include <array>
#include <climits>

#include "archive/byte_reader.h"
#include "archive/installer_file.h"
#include "archive/manifest_io.h"

namespace kv::ui {

LoadedManifest LoadManifest(std::FILE* archive, std::uint64_t fileSize) {
    if (fileSize < archive::kTrailerSize) {
        throw archive::FormatError("trailer", "the file is shorter than its trailer");
    }
    std::array<std::uint8_t, archive::kTrailerSize> tail{};
    if (std::fseek(archive, -static_cast<long>(archive::kTrailerSize), SEEK_END) != 0 ||
        std::fread(tail.data(), 1, tail.size(), archive) != tail.size()) {
        throw archive::FormatError("trailer", "the trailer cannot be read");
    }
    LoadedManifest loaded;
    loaded.trailer = archive::ReadTrailer(tail);
    const std::uint64_t length = loaded.trailer.manifestLength;
    if (length > fileSize - archive::kTrailerSize) {
        throw archive::FormatError("manifestLength", "the manifest would start before the file");
    }
    if (length + archive::kTrailerSize > static_cast<std::uint64_t>(LONG_MAX)) {
        throw archive::FormatError("manifestLength", "the manifest is too large to seek to");
    }
    loaded.manifestStart = fileSize - archive::kTrailerSize - length;
    loaded.block.assign(static_cast<std::size_t>(length), 0);  // zero-filled: a short read leaves zeros
    if (length != 0) {
        if (std::fseek(archive, -static_cast<long>(length + archive::kTrailerSize), SEEK_END) != 0) {
            throw archive::FormatError("manifestLength", "the manifest cannot be reached");
        }
        (void)std::fread(loaded.block.data(), 1, loaded.block.size(), archive);
    }
    loaded.manifest = archive::ReadManifest(loaded.block, loaded.manifestStart);
    // The run reads on behind the four header strings; ReadManifest has checked them already.
    archive::ByteReader cursor(loaded.block);
    cursor.cstr(archive::kTitleLimit, "title");
    cursor.cstr(archive::kDisplayNameLimit, "displayName");
    cursor.cstr(archive::kPathLimit, "setupName");
    cursor.cstr(archive::kPathLimit, "defaultFolder");
    loaded.headerEnd = cursor.position();
    return loaded;
}

}  // namespace kv::ui

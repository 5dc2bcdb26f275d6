// The installer's own open file as the archive reader's source: the checksum, the manifest and
// the run's entries are all read through it.
#pragma once

#include <cstdio>

#include "archive/read_at_source.h"

namespace kv::ui {

class ArchiveStreamReader final : public archive::ReadAtSource {
public:
    explicit ArchiveStreamReader(std::FILE*& archive) : m_pArchive(archive) {}

    std::uint64_t Size() override {
        if (m_pArchive == nullptr || Seek(0, SEEK_END) != 0) return 0;
        const auto size = Tell();
        return size < 0 ? 0 : static_cast<std::uint64_t>(size);
    }

    // Absolute offsets from the start of the file, a short count at its end.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        if (m_pArchive == nullptr || offset > static_cast<std::uint64_t>(INT64_MAX) ||
            Seek(static_cast<std::int64_t>(offset), SEEK_SET) != 0) {
            return 0;
        }
        return std::fread(into.data(), 1, into.size(), m_pArchive);
    }

private:
    // 64-bit positions: a long is 32 bits on Windows, too short for files past 2 GiB.
    int Seek(std::int64_t offset, int origin) {
#ifdef _WIN32
        return ::_fseeki64(m_pArchive, offset, origin);
#else
        return ::fseeko(m_pArchive, static_cast<off_t>(offset), origin);
#endif
    }
    std::int64_t Tell() {
#ifdef _WIN32
        return ::_ftelli64(m_pArchive);
#else
        return ::ftello(m_pArchive);
#endif
    }

    std::FILE*& m_pArchive;  // the dialog's stream member, which the cancel handling closes
};

}  // namespace kv::ui

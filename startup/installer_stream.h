// The installer's own open file, the one owner of its stream, as the archive reader's source: the
// checksum, the manifest and the run's entries are all read through it.
#pragma once

#include <cstdio>
#include <string>
#ifdef _WIN32
#include <share.h>
#endif

#include "archive/read_at_source.h"

namespace kv::startup {

class InstallerStream final : public archive::ReadAtSource {
public:
    InstallerStream() = default;
    explicit InstallerStream(std::FILE* file) : m_file(file) {}  // takes the stream over
    InstallerStream(const InstallerStream&) = delete;
    InstallerStream& operator=(const InstallerStream&) = delete;
    ~InstallerStream() override { Close(); }

    // On Windows nobody may write the file while it is open: what was verified is what is read.
    bool Open(const std::string& path) {
        Close();
#ifdef _WIN32
        m_file = ::_fsopen(path.c_str(), "rb", _SH_DENYWR);
#else
        m_file = std::fopen(path.c_str(), "rb");
#endif
        return m_file != nullptr;
    }
    // Safe to call again: a second cancel (Exit after a posted IDCANCEL) closes nothing twice.
    void Close() {
        if (m_file != nullptr) std::fclose(m_file);
        m_file = nullptr;
    }

    std::uint64_t Size() override {
        if (m_file == nullptr || Seek(0, SEEK_END) != 0) return 0;
        const auto size = Tell();
        return size < 0 ? 0 : static_cast<std::uint64_t>(size);
    }

    // Absolute offsets from the start of the file, a short count at its end.
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        if (m_file == nullptr || offset > static_cast<std::uint64_t>(INT64_MAX) ||
            Seek(static_cast<std::int64_t>(offset), SEEK_SET) != 0) {
            return 0;
        }
        return std::fread(into.data(), 1, into.size(), m_file);
    }

private:
    // 64-bit positions: a long is 32 bits on Windows, too short for files past 2 GiB.
    int Seek(std::int64_t offset, int origin) {
#ifdef _WIN32
        return ::_fseeki64(m_file, offset, origin);
#else
        return ::fseeko(m_file, static_cast<off_t>(offset), origin);
#endif
    }
    std::int64_t Tell() {
#ifdef _WIN32
        return ::_ftelli64(m_file);
#else
        return ::ftello(m_file);
#endif
    }

    std::FILE* m_file = nullptr;
};

}  // namespace kv::startup

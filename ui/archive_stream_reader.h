// Reads archive entries at absolute offsets from the installer's own open file stream.
#pragma once

#include <cstdio>

#include "install/installation_run.h"

namespace kv::ui {

class ArchiveStreamReader final : public install::EntryReader {
public:
    explicit ArchiveStreamReader(std::FILE*& archive) : m_pArchive(archive) {}

    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        // Offsets are below 2^31 (the reader refuses others), so a long seek reaches them.
        if (m_pArchive == nullptr || offset > 0x7FFFFFFFu ||
            std::fseek(m_pArchive, static_cast<long>(offset), SEEK_SET) != 0) {
            return 0;
        }
        return std::fread(into.data(), 1, into.size(), m_pArchive);
    }

private:
    std::FILE*& m_pArchive;  // the dialog's stream member, which the cancel handling closes
};

}  // namespace kv::ui

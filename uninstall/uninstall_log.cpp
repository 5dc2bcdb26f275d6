// The uninstall log over the OS seam: load, de-duplicate, append.
#include "uninstall/uninstall_log.h"

#include <array>

namespace kv::uninstall {

std::string DataFilePath(const std::string& folder) {
    return folder + "\\" + kDataFileName;
}

bool UninstallLog::Open(const std::string& folder) {
    auto stream = m_system.OpenFile(DataFilePath(folder), os::OpenMode::ReadWriteOrCreate);
    if (!stream) return false;
    m_pStream = std::move(stream);
    Load();
    m_writing = true;
    return true;
}

void UninstallLog::Load() {
    m_writing = false;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        const std::size_t got = m_pStream->Read(chunk);
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    DecodedLog decoded = DecodeRecords(bytes);
    m_loadedTruncated = decoded.truncated;
    // A record present twice in the file stays twice there but is held once.
    for (auto& record : decoded.records) Append(std::move(record));
}

void UninstallLog::AddFile(const std::string& path) {
    UninstallRecord record;
    record.kind = kKindFile;
    record.text = path;
    Append(std::move(record));
}

void UninstallLog::AddShortcut(std::int32_t location, const std::optional<std::string>& menuFolder,
                               const std::string& caption) {
    UninstallRecord record;
    record.kind = kKindShortcut;
    record.location = location;
    if (menuFolder) record.menuFolder = *menuFolder;
    record.text = caption;
    Append(std::move(record));
}

void UninstallLog::AddProduct(const std::string& name) {
    UninstallRecord record;
    record.kind = kKindProduct;
    record.text = name;
    Append(std::move(record));
}

bool UninstallLog::Contains(const UninstallRecord& record) const {
    for (const auto& held : m_records)
        if (held == record) return true;
    return false;
}

void UninstallLog::Append(UninstallRecord record) {
    if (Contains(record)) return;
    m_records.push_back(std::move(record));
    WriteRecord(m_records.back());
}

void UninstallLog::WriteRecord(const UninstallRecord& record) {
    // A log that was never opened, or one being loaded, writes nothing. Write errors are not
    // examined: the data file is a best-effort list for the uninstaller.
    if (!m_writing || !m_pStream) return;
    const std::vector<std::uint8_t> bytes = EncodeRecord(record);
    m_pStream->SeekToEnd();
    m_pStream->Write(bytes);
}

void UninstallLog::Close() {
    if (m_pStream) {
        m_pStream->Close();
        m_pStream.reset();
    }
    m_writing = false;
    m_records.clear();
}

void UninstallLog::StampTime(const std::string& folder, os::FileTime time) {
    m_system.SetFileTimes(DataFilePath(folder), time);
}

}  // namespace kv::uninstall

// The uninstall log over the OS seam: load, de-duplicate, append.
#include "uninstall/uninstall_log.h"

#include <array>

namespace kv::uninstall {

std::string DataFilePath(const std::string& folder) {
    // One separator, also behind a drive root (C:\) or a folder typed with a trailing backslash.
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) return folder + kDataFileName;
    return folder + "\\" + kDataFileName;
}

namespace {

// Two records name one file or shortcut when Windows would take their names for the same: paths,
// captions (which name the .lnk file) and menu folders compare without letter case.
bool SameEntry(const UninstallRecord& a, const UninstallRecord& b) {
    return a.kind == b.kind && a.location == b.location && SamePath(a.menuFolder, b.menuFolder) &&
           SamePath(a.text, b.text);
}

}  // namespace

bool UninstallLog::Open(const std::string& folder) {
    auto stream = m_system.OpenFile(DataFilePath(folder), os::OpenMode::ReadWriteOrCreate);
    if (!stream) return false;
    m_pStream = std::move(stream);
    if (!Load()) {
        Close();
        return false;
    }
    m_writing = true;
    return true;
}

bool UninstallLog::Load() {
    m_writing = false;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        const std::size_t got = m_pStream->Read(chunk);
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    }
    const DecodedLog decoded = DecodeRecords(bytes);
    m_loadedTruncated = decoded.truncated;
    // A file cut short (a full disk, a killed run, a copy cut off) ends inside a record. Appending
    // behind it would make the next record part of that one's path, so the partial record goes:
    // its missing part cannot be known (a path cut short names another file), and the records
    // before it stay as they are. When the file cannot be cut back, nothing is written to it.
    if (decoded.truncated && !m_pStream->Truncate(decoded.completeBytes)) return false;
    m_wholeBytes = decoded.completeBytes;
    // A record present twice in the file stays twice there but is held once.
    for (const auto& record : decoded.Complete()) Append(record);
    return true;
}

void UninstallLog::AddFile(const std::string& path) {
    UninstallRecord record;
    record.kind = kKindFile;
    record.text = CanonicalPath(path);
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
    // A product record is new unless the file already ends in that product's records. A file or
    // shortcut that another product recorded is recorded again for this one: the uninstaller
    // keeps a file that some remaining product's records name, and it finds the records by
    // their place behind a product record.
    if (record.kind == kKindProduct) return m_currentProduct == record.text;
    for (std::size_t i = 0; i < m_records.size(); ++i)
        if (m_owners[i] == m_currentProduct && SameEntry(m_records[i], record)) return true;
    return false;
}

void UninstallLog::Append(UninstallRecord record) {
    if (Contains(record)) return;
    if (record.kind == kKindProduct) m_currentProduct = record.text;
    m_records.push_back(std::move(record));
    m_owners.push_back(m_currentProduct);
    WriteRecord(m_records.back());
}

void UninstallLog::WriteRecord(const UninstallRecord& record) {
    // A log that was never opened, or one being loaded, writes nothing.
    if (!m_writing || !m_pStream) return;
    const std::vector<std::uint8_t> bytes = EncodeRecord(record);
    // A record that does not reach the file whole leaves something the uninstaller will not remove:
    // the run goes on, and Close tells it. Its part that did reach the file is cut off again, and
    // nothing more is written: a record appended behind a partial one would be read as the rest of
    // it, and every product of the folder would become unremovable.
    if (m_pStream->SeekToEnd() && m_pStream->Write(bytes) == bytes.size()) {
        m_wholeBytes += bytes.size();
        return;
    }
    m_writeFailed = true;
    m_writing = false;
    (void)m_pStream->Truncate(m_wholeBytes);  // when this fails too, the partial record is last,
                                              // where every reader leaves it out
}

bool UninstallLog::Close() {
    bool complete = !m_writeFailed;
    if (m_pStream) {
        complete = m_pStream->Close() && complete;
        m_pStream.reset();
    }
    m_writeFailed = false;
    m_writing = false;
    m_records.clear();
    m_owners.clear();
    m_currentProduct.reset();
    return complete;
}

void UninstallLog::StampTime(const std::string& folder, os::FileTime time) {
    m_system.SetFileTimes(DataFilePath(folder), time);
}

}  // namespace kv::uninstall

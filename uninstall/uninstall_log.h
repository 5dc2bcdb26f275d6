// The uninstall log: the records of Kvuninstall.dat held in memory, loaded from an existing data
// file and appended to it, one record at a time, as the installation run adds them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "os/system.h"
#include "uninstall/log_format.h"

namespace kv::uninstall {

inline constexpr char kDataFileName[] = "Kvuninstall.dat";

// "%s\Kvuninstall.dat" of the folder text as entered (a trailing backslash is kept).
std::string DataFilePath(const std::string& folder);

class UninstallLog {
public:
    explicit UninstallLog(os::System& system) : m_system(system) {}
    ~UninstallLog() { Close(); }
    UninstallLog(const UninstallLog&) = delete;
    UninstallLog& operator=(const UninstallLog&) = delete;

    // Opens (or creates) the data file in `folder` and loads its records. A file that ends inside a
    // record is cut back to its last whole record first, so that new records start on a record
    // boundary. False, with nothing changed, when the file can be neither opened nor created, or
    // cannot be cut back.
    bool Open(const std::string& folder);
    // Strings of any length are recorded whole: a path is never cut into the name of another file,
    // and the format itself has no length limit. Paths are recorded in their CanonicalPath spelling.
    void AddFile(const std::string& path);
    // `menuFolder` is given for Programs-menu shortcuts and left out for the Desktop.
    void AddShortcut(std::int32_t location, const std::optional<std::string>& menuFolder, const std::string& caption);
    void AddProduct(const std::string& name);
    // Closes the data file (flushing what was appended) and empties the list. False when a record
    // could not be written whole or the close could not flush: the data file then lacks records.
    bool Close();
    // Sets the data file's three times to `time`; needs no open log, and reports nothing.
    void StampTime(const std::string& folder, os::FileTime time);

    // Whether an equal record already belongs to the current product: the one named by the last
    // product record, to which the uninstaller gives every record that follows it.
    bool Contains(const UninstallRecord& record) const;
    bool IsOpen() const { return m_pStream != nullptr; }
    const std::vector<UninstallRecord>& Records() const { return m_records; }
    // True when the loaded file ended inside a record (which was then dropped).
    bool LoadedTruncated() const { return m_loadedTruncated; }

private:
    bool Load();
    void Append(UninstallRecord record);
    void WriteRecord(const UninstallRecord& record);

    os::System& m_system;
    std::unique_ptr<os::FileStream> m_pStream;
    std::vector<UninstallRecord> m_records;  // in the order added, file records first
    // The product each held record belongs to (none before the first product record), and the
    // product that records appended now belong to.
    std::vector<std::optional<std::string>> m_owners;
    std::optional<std::string> m_currentProduct;
    bool m_writing = false;
    bool m_writeFailed = false;    // since Open, a record did not reach the file whole
    std::size_t m_wholeBytes = 0;  // where the file's last whole record ends
    bool m_loadedTruncated = false;
};

}  // namespace kv::uninstall

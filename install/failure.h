// What stopped the installer: one value from the loader, the run and the file placement alike,
// turned into its text only where it is shown (FailureText, in the message catalogue).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kv::install {

enum class FailureKind {
    ArchiveMissing,     // the installer's own file could not be opened; subject: its name
    ArchiveCorrupt,     // a checksum mismatch, or a manifest or default folder the reader refuses
    ManifestNoMemory,   // the manifest did not fit into memory
    FolderRefused,      // the folder text held a forbidden character
    FolderNotCreated,   // subject: the installation folder
    DataFileNotOpened,  // the uninstall data file could not be opened or cut back
    LicenseNoMemory,    // the licence entry did not fit into memory
    LicenseNotCreated,  // subject: the licence file
    FileNoMemory,       // subject: the record's file; more: its folder, exeparms and length
    FileNotCreated,     // subject: the target; more: the title
    FileNotWritten,     // subject: the target (a short write, an entry outside the file, a failed flush)
    FileNotExpanded,    // subject: the target
    FileNotStamped,     // subject: the target, whose times could not be set
    LinkRefused,        // subject: a folder or the data file that is a link or a second name of another file
    ProgramNotStarted,  // launch mode: subject: the program that the shell could not start
};

struct Failure {
    FailureKind kind;
    std::string subject;            // the path or name the failure concerns
    std::vector<std::string> more;  // further values its text names, in the text's order

    bool operator==(const Failure&) const = default;
};

// A step that either completes or stops with a failure; true when it completed.
class [[nodiscard]] Result {
public:
    Result() = default;
    Result(Failure failure) : m_failure(std::move(failure)) {}

    explicit operator bool() const { return !m_failure; }
    const Failure& failure() const { return *m_failure; }

private:
    std::optional<Failure> m_failure;
};

struct ProductTexts;

// The failure's message, as the installer shows it or writes it to the run log, with the product's
// vendor word and support address.
std::string FailureText(const Failure& failure, const ProductTexts& texts);

}  // namespace kv::install

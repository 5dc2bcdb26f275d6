// The uninstaller's message catalogue: every text it shows or reports stands here once and is
// looked up by its key. %s and %d take the values in the order given.
#pragma once

#include <string>

#include "archive/text_format.h"

namespace kv::uninstall {

struct UninstallOutcome;
struct Damage;

enum class Text {
    Caption,
    Question,        // product
    Removed,         // product
    BadCommandLine,  // the command line
    NoDataFile,      // data file
    DamagedData,     // data file, damage
    UnknownProduct,  // product, data file
    NotInstalled,    // product, folder
    InternalError,
    IncompleteHead,  // product
    IncompleteMore,  // how many more are not listed
    IncompleteTail,
    ShortcutFolderUnknown,  // caption
    DataFileNotUpdated,     // data file
    RegistryKeyLeft,        // key path
    UnknownKind,            // record number, kind
    UnknownLocation,        // record number, location
    FileOutsideFolder,      // record number, path, folder
    ShortcutLeavesFolder,   // record number, shortcut path
    KeptBehindLink,         // path, the folder it must be inside
};

const char* CatalogueText(Text text);

template <typename... Args>
std::string Say(Text text, const Args&... args) {
    return archive::Format(CatalogueText(text), args...);
}

// The message that ends a run, as the uninstaller shows it and writes it to the run log; none for
// a declined removal.
std::string OutcomeText(const UninstallOutcome& outcome);
std::string DamageText(const Damage& damage);

}  // namespace kv::uninstall

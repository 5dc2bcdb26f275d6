// The installer's message catalogue: every text it shows, from its start to the end of its run,
// stands here once and is looked up by its key. %s and %d take the values in the order given.
#pragma once

#include <string>

#include "install/failure.h"
#include "archive/text_format.h"

namespace kv::install {

// The texts that are not failures: captions, questions and the warnings after which the run goes on.
enum class Notice {
    InstallationFailedCaption,  // of every failure, and of the shortcut warning
    InstallerCaption,           // of the warnings after which the run goes on
    CompleteCaption,
    RunNowQuestion,  // title
    ShortcutFailed,
    SelfCopyFailed,       // source, destination, error
    DataFileIncomplete,   // data file path
    RegistrationRefused,  // product, problem
    NotUninstallable,     // closes either of the two warnings before it
    UnexpectedError,      // what was caught
    DesktopUnreachable,   // the folder browser cannot reach the shell's namespace
    BrowsePrompt,
    TextTooLong,  // the field's limit
};

const char* CatalogueText(Notice notice);
const char* CatalogueText(FailureKind kind);

template <typename... Args>
std::string Say(Notice notice, const Args&... args) {
    return archive::Format(CatalogueText(notice), args...);
}

}  // namespace kv::install

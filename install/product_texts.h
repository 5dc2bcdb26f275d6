// The product's own texts that kvpack may have put into the installer's string table: the dialog's
// caption and copyright line, the words of two failure messages, and what Apps & Features shows.
#pragma once

#include <optional>
#include <string>

#include "os/system.h"

namespace kv::install {

struct ProductTexts {
    std::optional<std::string> caption;    // nothing: the dialog template's own
    std::optional<std::string> copyright;  // likewise
    std::string vendorWord;                // in "Make sure all %s files are closed"
    std::string support;                   // the support address of the missing-archive message
    // Apps & Features; empty ones are not registered.
    std::string publisher;
    std::string version;
    std::string url;
    std::string helpLink;
};

// The texts the program carries, each missing one the installer's own default.
ProductTexts LoadProductTexts(os::System& system);

}  // namespace kv::install

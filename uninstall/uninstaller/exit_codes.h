// The uninstaller's exit codes, for scripts that remove a product quietly (also listed in README.md).
#pragma once

namespace kv::uninstall {

enum UninstallExitCode : int {
    kUninstallRemoved = 0,         // everything of the product is gone
    kUninstallDeclined = 1,        // the user answered No; nothing changed
    kUninstallBadCommandLine = 2,  // not "FOLDER|PRODUCT [/S]"; nothing changed
    kUninstallNoDataFile = 3,      // FOLDER\Kvuninstall.dat is missing or unreadable; nothing changed
    kUninstallDamagedData = 4,     // the data file holds an impossible record; nothing changed
    kUninstallUnknownProduct = 5,  // the data file has no record of PRODUCT; nothing changed
    kUninstallIncomplete = 6,      // some parts could not be removed (in use); run the uninstaller again
    kUninstallInternalError = 7,   // an unexpected error (such as lack of memory) stopped the run; it is logged
    kUninstallNotInstalled = 8,    // FOLDER has no data file and PRODUCT is not registered; nothing changed
};

}  // namespace kv::uninstall

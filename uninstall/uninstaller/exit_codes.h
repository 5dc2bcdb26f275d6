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
};

}  // namespace kv::uninstall

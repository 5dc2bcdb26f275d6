// The system-folder-only DLL search of os/dll_search.h.
#include "os/dll_search.h"

#include <cstring>

namespace kv::os {

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// The update that brought SetDefaultDllDirectories also taught LoadLibraryEx the
// LOAD_LIBRARY_SEARCH_* flags, so its presence tells whether they may be used.
SetDefaultDllDirectoriesFunction DefaultDirectoriesFunction() {
    static const auto function =
        ProcAddress<SetDefaultDllDirectoriesFunction>(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories");
    return function;
}

}  // namespace

void RestrictDllSearchToSystem32() {
    const SetDefaultDllDirectoriesFunction restrict = DefaultDirectoriesFunction();
    if (restrict != nullptr&& restrict(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    ::SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* name) {
    if (DefaultDirectoriesFunction() != nullptr) {
        // The flag holds for the DLL's own dependencies too.
        return ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // Without the search flags: the full path in the system folder, and with it the DLL's own
    // folder, not the program's, searched first for what the DLL itself needs.
    char path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + std::strlen(name) >= MAX_PATH) return nullptr;
    path[length] = '\\';
    std::strcpy(path + length + 1, name);
    return ::LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace kv::os

// Where the programs let the loader find DLLs: in the system folder only. A downloaded program
// shares its folder (and often its current directory) with whatever else was saved there, and the
// loader looks in the program's folder first for every DLL that is not one of the KnownDLLs.
#pragma once

#include <windows.h>

namespace kv::os {

// The first call of a program's WinMain: every later load by a bare name searches the system
// folder only. Where the loader cannot be told that (Windows 7 and Vista without the update that
// added SetDefaultDllDirectories), the current directory at least is taken out of the search.
void RestrictDllSearchToSystem32();

// Loads a DLL of the system folder by its bare name ("lz32.dll"), and nothing of that name from
// anywhere else; null when it is not there. The module stays loaded for the life of the process.
HMODULE LoadSystemLibrary(const char* name);

// A function of a loaded module with its real type; null when the module lacks it.
template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    if (module == nullptr) return nullptr;
    // Through the generic function-pointer type, so the cast from FARPROC is not taken for a mistake.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace kv::os

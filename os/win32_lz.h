// The platform's LZ expansion service (lz32.dll), loaded from the system folder when first used
// rather than imported: lz32.dll is not one of the KnownDLLs, so an import would be looked for in
// the program's own folder first.
#pragma once

#include <windows.h>
#include <lzexpand.h>

namespace kv::os {

struct LzService {
    decltype(&::LZInit) init;
    decltype(&::LZRead) read;
    decltype(&::LZClose) close;
};

// Null when lz32.dll or one of these functions cannot be had from the system folder.
const LzService* Lz();

}  // namespace kv::os

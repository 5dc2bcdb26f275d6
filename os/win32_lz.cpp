// Loading of the LZ expansion service.
#include "os/win32_lz.h"

#include "os/dll_search.h"

namespace kv::os {

const LzService* Lz() {
    static const LzService service = [] {
        const HMODULE module = LoadSystemLibrary("lz32.dll");
        return LzService{ProcAddress<decltype(&::LZInit)>(module, "LZInit"),
                         ProcAddress<decltype(&::LZRead)>(module, "LZRead"),
                         ProcAddress<decltype(&::LZClose)>(module, "LZClose")};
    }();
    return service.init && service.read && service.close ? &service : nullptr;
}

}  // namespace kv::os

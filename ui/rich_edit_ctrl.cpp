// The rich-edit wrapper's library loading and creation.
#include "ui/rich_edit_ctrl.h"

#include "os/dll_search.h"

namespace kv::ui {

// riched20.dll is the version Wine implements in full (RTF reader, EM_SETBKGNDCOLOR, EM_SETOPTIONS);
// the library stays loaded for the life of the process, as the control class needs it. It comes from
// the system folder only: a riched20.dll beside the installer is never the one loaded.
bool CRichEditCtrl::LoadLibraryOnce() {
    static const HMODULE library = os::LoadSystemLibrary("riched20.dll");
    return library != nullptr;
}

bool CRichEditCtrl::Create(DWORD style, const RECT& rect, HWND parent, int id) {
    if (!LoadLibraryOnce()) {
        return false;
    }
    m_hWnd = ::CreateWindowExA(0, RICHEDIT_CLASSA, "", style, rect.left, rect.top, rect.right - rect.left,
                               rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               ::GetModuleHandleA(nullptr), nullptr);
    return m_hWnd != nullptr;
}

}  // namespace kv::ui

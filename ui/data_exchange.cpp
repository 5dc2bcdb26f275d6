// Dialog data exchange over plain window handles.
#include "ui/data_exchange.h"

#include <string>

#include "install/messages.h"
#include "ui/dialog.h"

namespace kv::ui {

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (pDX->m_bFailed || control.IsBound()) {
        return;
    }
    control.m_hWnd = pDX->m_dialog.GetDlgItem(id);
    assert(control.m_hWnd != nullptr && "the template has no control with this id");
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value) {
    if (pDX->m_bFailed) {
        return;
    }
    pDX->m_nLastId = id;
    CWnd control;
    control.m_hWnd = pDX->m_dialog.GetDlgItem(id);
    if (control.m_hWnd == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = control.GetWindowText();
    } else {
        control.SetWindowText(value);
    }
}

std::string TooLongMessage(int maxChars) { return install::Say(install::Notice::TextTooLong, maxChars); }

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars) {
    if (pDX->m_bFailed) {
        return;
    }
    HWND control = pDX->m_dialog.GetDlgItem(pDX->m_nLastId);
    if (!pDX->m_bSaveAndValidate) {
        if (control != nullptr) {
            ::SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
        }
        return;
    }
    if (value.size() > static_cast<std::size_t>(maxChars)) {
        ::MessageBoxA(pDX->m_dialog.m_hWnd, TooLongMessage(maxChars).c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        if (control != nullptr) {
            ::SetFocus(control);
        }
        pDX->m_bFailed = true;
    }
}

}  // namespace kv::ui

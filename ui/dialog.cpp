// The modal dialog base: DialogBoxParam with `this` as the creation parameter, one dialog
// procedure that finds the object again and routes to its handlers.
#include "ui/dialog.h"

#include <exception>

#include "install/messages.h"

namespace kv::ui {

HINSTANCE CDialog::ResourceInstance() { return ::GetModuleHandleA(nullptr); }

INT_PTR CDialog::DoModal() {
    const INT_PTR result = ::DialogBoxParamA(ResourceInstance(), MAKEINTRESOURCEA(m_nIDTemplate), m_hWndParent,
                                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return result;
}

void CDialog::EndDialog(int result) {
    assert(::IsWindow(m_hWnd));
    ::EndDialog(m_hWnd, result);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    CDataExchange exchange(*this, saveAndValidate != FALSE);
    DoDataExchange(&exchange);
    return exchange.m_bFailed ? FALSE : TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) {
        EndDialog(IDOK);
    }
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(WORD id, WORD, HWND) {
    switch (id) {
    case IDOK:
        OnOK();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

bool CDialog::OnTimer(UINT_PTR) { return false; }
bool CDialog::OnPaint() { return false; }
HCURSOR CDialog::OnQueryDragIcon() { return nullptr; }
bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

void CDialog::OnUnhandledException(const char* what) {
    const std::string text = install::Say(install::Notice::UnexpectedError, what);
    ::MessageBoxA(m_hWnd, text.c_str(), install::Say(install::Notice::InstallationFailedCaption).c_str(), MB_OK);
    ::EndDialog(m_hWnd, IDABORT);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
        return OnTimer(static_cast<UINT_PTR>(wParam)) ? TRUE : FALSE;
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        // One of the messages whose dialog-procedure result is the answer itself.
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    default: {
        LRESULT result = 0;
        if (!OnMessage(message, wParam, lParam, result)) {
            return FALSE;
        }
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

// The report itself must not throw out of the dialog procedure either.
void CDialog::ReportUnhandled(CDialog& dialog, const char* what) noexcept {
    try {
        dialog.OnUnhandledException(what);
    } catch (...) {
        ::EndDialog(dialog.m_hWnd, IDABORT);
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = window;
        ::SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(window, DWLP_USER));
    }
    if (self == nullptr) {
        return FALSE;  // messages before WM_INITDIALOG (WM_SETFONT) need nothing from us
    }
    try {
        return self->Dispatch(message, wParam, lParam);
    } catch (const std::exception& error) {
        ReportUnhandled(*self, error.what());
    } catch (...) {
        ReportUnhandled(*self, "unknown error");
    }
    return TRUE;
}

}  // namespace kv::ui

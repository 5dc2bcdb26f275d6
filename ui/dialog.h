// A modal dialog base: one static dialog procedure stores `this` at WM_INITDIALOG and routes
// messages to virtual On... handlers with sensible defaults. No exception crosses into Windows.
#pragma once

#include <windows.h>

#include <string>

#include "ui/data_exchange.h"
#include "ui/window.h"

namespace kv::ui {

class CDialog : public CWnd {
public:
    // `templateId` names a dialog template in the program's own resources; `parent` may be none.
    explicit CDialog(UINT templateId, HWND parent = nullptr) : m_nIDTemplate(templateId), m_hWndParent(parent) {}
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns the result given to EndDialog, or -1 when the dialog could
    // not be created.
    INT_PTR DoModal();
    void EndDialog(int result);
    // Runs DoDataExchange in one direction: from the controls (true) or towards them (false).
    // False when a check refused a value (its message has been shown).
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // The module whose resources hold templates and icons.
    static HINSTANCE ResourceInstance();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);
    // The framework's initialisation: binds and fills the controls. Returns TRUE so the focus goes
    // to the first tab-stop control.
    virtual BOOL OnInitDialog();
    virtual void OnOK();      // UpdateData(TRUE), then EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    // WM_COMMAND. True when handled; the default handles IDOK and IDCANCEL.
    virtual bool OnCommand(WORD id, WORD notifyCode, HWND control);
    virtual bool OnTimer(UINT_PTR timerId);  // default: not handled
    virtual bool OnPaint();                  // default: not handled, the dialog manager paints
    virtual HCURSOR OnQueryDragIcon();       // default: none, the system's own
    // Any other message. True when handled, with the message's result in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // An exception escaped a handler. The default tells the user and ends the dialog with IDABORT.
    virtual void OnUnhandledException(const char* what);

    const UINT m_nIDTemplate;
    HWND m_hWndParent;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void ReportUnhandled(CDialog& dialog, const char* what) noexcept;
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace kv::ui

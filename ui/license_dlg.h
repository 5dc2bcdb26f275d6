// The licence-agreement dialog: shows an RTF file read-only on black and returns IDOK when the user
// accepts ("I Accept") or IDCANCEL when not ("I Do Not Accept", Escape, the close box).
#pragma once

#include <windows.h>
#include <richedit.h>

#include <string>

#include "ui/dialog.h"
#include "ui/rich_edit_ctrl.h"
#include "ui/window.h"

namespace kv::ui {

class CLicenseDlg : public CDialog {
public:
    // Without a parent the owner is the application's main window, disabled while this one runs.
    explicit CLicenseDlg(HWND parent = nullptr);
    ~CLicenseDlg() override = default;

    CRichEditCtrl m_richText;      // the text area, created at initialisation with id 101
    std::string m_strLicenseFile;  // the RTF file to show; set before DoModal; never deleted here
    CStatic m_placeholder;         // control 1006, marks the text area

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    LRESULT OnLoadLicense();
};

// Replaces the control's content by the RTF file at `path`; true when the file was opened (else
// the control keeps what it shows).
bool StreamRtfFile(CRichEditCtrl& control, const std::string& path);
// The stream-in callback over an open file handle (the cookie): 1 stops the stream.
DWORD CALLBACK RtfReadCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* bytesRead);

}  // namespace kv::ui

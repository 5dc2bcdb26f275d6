// Dialog data exchange: binding control members to their windows and moving texts between
// controls and string members, in either direction, with a length check.
#pragma once

#include <windows.h>

#include <string>

#include "ui/window.h"

namespace kv::ui {

class CDialog;

// One exchange pass. Towards the controls (`m_bSaveAndValidate` false) or from them (true).
// The first failed check shows its message, marks the pass failed and makes later steps do nothing.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate) : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

    CDialog& m_dialog;
    const bool m_bSaveAndValidate;
    bool m_bFailed = false;
    int m_nLastId = 0;  // the control of the last text exchange, checked by DDV_MaxChars
};

// Binds `control` to the dialog's child window `id` the first time; later passes leave it as is.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Copies the text of control `id` into `value` (saving) or `value` into the control.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Saving: refuses a text longer than `maxChars` with the standard message. Towards the controls:
// limits the edit control of the preceding DDX_Text to `maxChars` characters.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars);

// The standard refusal, for example "Please enter no more than 260 characters."
std::string TooLongMessage(int maxChars);

}  // namespace kv::ui

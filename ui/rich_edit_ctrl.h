// A thin wrapper over the rich-edit control (riched20.dll, class RICHEDIT_CLASSA): creation and the
// few messages the licence dialog sends, one line each.
#pragma once

#include <windows.h>
#include <richedit.h>

#include "ui/window.h"

namespace kv::ui {

class CRichEditCtrl : public CWnd {
public:
    // Loads the control's library once per process; false when it is not available.
    static bool LoadLibraryOnce();

    // Creates the control as a child of `parent`; false when the window could not be made.
    bool Create(DWORD style, const RECT& rect, HWND parent, int id);

    COLORREF SetBackgroundColor(BOOL useSystemColour, COLORREF colour) const {
        return static_cast<COLORREF>(SendMessage(EM_SETBKGNDCOLOR, static_cast<WPARAM>(useSystemColour), colour));
    }
    UINT SetOptions(WORD operation, DWORD options) const {
        return static_cast<UINT>(SendMessage(EM_SETOPTIONS, operation, options));
    }
    // The structure size is filled in here, as callers expect.
    BOOL SetDefaultCharFormat(CHARFORMATA& format) const {
        format.cbSize = sizeof format;
        return static_cast<BOOL>(SendMessage(EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format)));
    }
    LRESULT StreamIn(int format, EDITSTREAM& stream) const {
        return SendMessage(EM_STREAMIN, static_cast<WPARAM>(format), reinterpret_cast<LPARAM>(&stream));
    }
};

}  // namespace kv::ui

// Thin wrappers over a window handle and the common controls: one line each over SendMessage.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cassert>
#include <string>

namespace kv::ui {

// A window handle with the few operations the dialogs use. It never owns or destroys the window.
class CWnd {
public:
    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    bool IsBound() const { return m_hWnd != nullptr; }

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        assert(::IsWindow(m_hWnd));
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        assert(::IsWindow(m_hWnd));
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL EnableWindow(BOOL enable = TRUE) const {
        assert(::IsWindow(m_hWnd));
        return ::EnableWindow(m_hWnd, enable);
    }
    BOOL IsWindowEnabled() const {
        assert(::IsWindow(m_hWnd));
        return ::IsWindowEnabled(m_hWnd);
    }
    BOOL IsIconic() const {
        assert(::IsWindow(m_hWnd));
        return ::IsIconic(m_hWnd);
    }
    void GetClientRect(RECT* rect) const {
        assert(::IsWindow(m_hWnd));
        ::GetClientRect(m_hWnd, rect);
    }
    void SetWindowText(const std::string& text) const {
        assert(::IsWindow(m_hWnd));
        ::SetWindowTextA(m_hWnd, text.c_str());
    }
    std::string GetWindowText() const;
    HWND GetDlgItem(int id) const {
        assert(::IsWindow(m_hWnd));
        return ::GetDlgItem(m_hWnd, id);
    }
    HICON SetIcon(HICON icon, BOOL bigIcon) const {
        return reinterpret_cast<HICON>(
            SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const {
        assert(::IsWindow(m_hWnd));
        return ::SetTimer(m_hWnd, id, elapse, nullptr);
    }
    BOOL KillTimer(UINT_PTR id) const {
        assert(::IsWindow(m_hWnd));
        return ::KillTimer(m_hWnd, id);
    }
};

class CButton : public CWnd {};
class CStatic : public CWnd {};

class CEdit : public CWnd {
public:
    void LimitText(int maxChars) const { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(maxChars)); }
};

class CProgressCtrl : public CWnd {
public:
    // Advances the position by `increment`; the control stops at the top of its range.
    int OffsetPos(int increment) const {
        return static_cast<int>(SendMessage(PBM_DELTAPOS, static_cast<WPARAM>(increment)));
    }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
    int GetRangeUpper() const { return static_cast<int>(SendMessage(PBM_GETRANGE, FALSE)); }
};

}  // namespace kv::ui

// The licence-agreement dialog: the rich-text area is created over the placeholder at
// initialisation, and the file is streamed in through a posted message once the dialog is up.
#include "ui/license_dlg.h"

#include "os/dll_search.h"
#include "ui/browse_license_rules.h"
#include "ui/resource.h"

namespace kv::ui {

namespace {

constexpr int kRichTextId = 101;
constexpr DWORD kRichTextStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE;  // 0x50200004

// The load message. WM_USER would be DM_GETDEFID: every default-button query of the dialog manager
// would stream the file in again and be answered "no default button", so a private WM_APP number.
constexpr UINT kLoadLicenseMessage = WM_APP + 1;

// The window's DPI: its monitor's where Windows can tell (Windows 10 1607 and later, looked up so
// that older Windows still start the program), else the system's.
int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto forWindow =
        os::ProcAddress<GetDpiForWindowFunction>(::GetModuleHandleA("user32.dll"), "GetDpiForWindow");
    if (forWindow != nullptr) {
        if (const UINT dpi = forWindow(window); dpi != 0) return static_cast<int>(dpi);
    }
    HDC dc = ::GetDC(window);
    const int dpi = ::GetDeviceCaps(dc, LOGPIXELSX);
    ::ReleaseDC(window, dc);
    return dpi > 0 ? dpi : 96;
}

BOOL CALLBACK FindMainWindow(HWND window, LPARAM param) {
    if (::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == nullptr) {
        *reinterpret_cast<HWND*>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// The application's main window: the topmost visible unowned window of this thread, which is the
// installer's main dialog while a run shows the licence.
HWND ApplicationMainWindow() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace

CLicenseDlg::CLicenseDlg(HWND parent) : CDialog(IDD_LICENSE, parent != nullptr ? parent : ApplicationMainWindow()) {}

void CLicenseDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LICENSE_PLACEHOLDER, m_placeholder);
}

BOOL CLicenseDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    CHARFORMATA format{};
    format.dwMask = CFM_SIZE | CFM_COLOR | CFM_FACE;
    format.dwEffects = 0;
    format.yHeight = 180;  // twips: 9 points
    format.crTextColor = RGB(0, 0, 128);
    lstrcpynA(format.szFaceName, "Arial", LF_FACESIZE);

    RECT placeholder{};
    m_placeholder.GetClientRect(&placeholder);
    const TextRect text = LicenseTextRect(placeholder.right, placeholder.bottom, WindowDpi(m_hWnd));
    const RECT area{text.left, text.top, text.right, text.bottom};
    // Without the control there is nothing to show the text in; the dialog still asks, like an
    // unreadable file does.
    if (m_richText.Create(kRichTextStyle, area, m_hWnd, kRichTextId)) {
        m_richText.SetBackgroundColor(FALSE, RGB(0, 0, 0));
        m_richText.SetOptions(ECOOP_OR, ECO_READONLY);
        m_richText.SetDefaultCharFormat(format);
    }
    PostMessage(kLoadLicenseMessage, 0, 0);

    UpdateData(FALSE);
    return TRUE;
}

bool CLicenseDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != kLoadLicenseMessage) {
        return false;
    }
    result = OnLoadLicense();
    return true;
}

LRESULT CLicenseDlg::OnLoadLicense() {
    if (m_richText.IsBound()) {
        StreamRtfFile(m_richText, m_strLicenseFile);
    }
    return 0;
}

bool StreamRtfFile(CRichEditCtrl& control, const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(file);
    stream.dwError = 0;
    stream.pfnCallback = &RtfReadCallback;
    control.StreamIn(SF_RTF | SFF_PLAINRTF, stream);
    ::CloseHandle(file);
    return true;
}

// The end of the file (0 bytes read) stops the stream. A read error stops it too, with no bytes:
// the control keeps what had arrived so far, and the dialog still asks for the answer.
DWORD CALLBACK RtfReadCallback(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* bytesRead) {
    DWORD read = 0;
    const BOOL ok =
        size > 0 && ::ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &read, nullptr);
    *bytesRead = ok ? static_cast<LONG>(read) : 0;
    return *bytesRead == 0 ? 1 : 0;
}

}  // namespace kv::ui

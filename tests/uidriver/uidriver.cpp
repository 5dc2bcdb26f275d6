// uidriver: a scriptable driver for Windows dialogs, run in the same (Wine) session as the program
// it drives. It starts programs, waits for their windows, prints what they show, presses buttons,
// types text and collects exit codes, so end-to-end tests need one Wine start per group of cases.
//
// Usage: uidriver STEP [STEP...]
// Steps run in order. A step name may be written with or without a leading "--".
//
//   start COMMAND-LINE [--cwd DIR]   start a program (the command line as Windows takes it); later
//                                    steps look only at this program's windows
//   wait CAPTION [--timeout SEC]     wait (default 20 s) for a visible top-level window whose caption is
//                                    exactly CAPTION; it becomes the current window
//   dump                             print the current window and each of its controls (see below)
//   press ID|TEXT                    press a button of the current window, named by its id or by its
//                                    text (letter case and "&" ignored); a disabled button is an error
//   type ID TEXT                     replace the text of control ID
//   close                            ask the current window to close (WM_CLOSE)
//   sysclose                         click the close box (WM_SYSCOMMAND SC_CLOSE)
//   key NAME                         press a key (escape, enter, tab, space) in the focused control of
//                                    the current window's thread, so the dialog manager sees it
//   chars ID TEXT                    type TEXT character by character (WM_CHAR) into control ID
//   tree                             print the selected item of the current window's tree view and
//                                    its parents, from the root down
//   treeup                           select the parent of the tree view's selected item
//   rect ID                          print where control ID lies in its dialog's client area
//   fits FACE POINTS                 check that the text of every static text and push button of the
//                                    current window fits its control, measured in the dialog's font:
//                                    FACE at POINTS at the screen's DPI, as the dialog manager makes it
//   gone [--timeout SEC]             wait until the current window is destroyed; prints the time the
//                                    window stayed after it was found
//   absent CAPTION [--for MS]        check that no such window is visible for MS ms (default 1000)
//   exitcode [--timeout SEC]         wait for the started program to end and print its exit code
//   windowless [--timeout SEC]       like exitcode (default 30 s), checking all the while that the
//                                    started program shows no visible top-level window at all
//   sleep MS                         pause
//   echo TEXT                        print "== TEXT" (marks the start of a case in the output)
//
// Output, one line each (texts escaped: \\ \" \n \r \t \xHH):
//   window "CAPTION" class=CLASS enabled=0|1
//   control id=N class=CLASS enabled=0|1 visible=0|1 text="..." [pos=N for a progress bar]
//                                    [icon=0|1 for an icon static: whether it holds an icon]
//   tree selected="ROOT\...\ITEM"    item texts joined by backslashes; "" when nothing is selected
//   rect id=N x=X y=Y w=W h=H        position and size in the dialog's client coordinates (pixels)
//   fits id=N need=WxH have=WxH ok=0|1 text="..."   one line per text measured; the step fails when
//                                    any text needs more room than its control has
//   gone after=MS hidden=MS          when the window was destroyed, and first seen hidden
//   exit code=N
//   error: WHAT                      a failed step. The started program is then ended and the steps
//                                    up to the next "start" are skipped.
// Exit status: 0 when every step succeeded, 1 when any failed, 3 for a usage error.
//
// Example: uidriver start "\"Z:\\tmp\\setup.exe\" OptNP" --cwd Z:\\tmp wait "Installation Failed"
//          dump press OK exitcode
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace kv::tools {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollMs = 20;

std::string Escape(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c >= 0x7F) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

// The text of a window in another process: WM_GETTEXT is marshalled, GetWindowText is not for controls.
std::string TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
        return {};
    }
    std::vector<char> buffer(length + 2, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                        2000, &copied);
    return std::string(buffer.data(), copied <= length ? copied : length);
}

std::string ClassOf(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Button texts compare without "&" and letter case: "Exit" names "E&xit".
std::string Simplified(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '&') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

class Driver {
public:
    int Run(const std::vector<std::string>& args);

private:
    bool Step(const std::vector<std::string>& args, std::size_t& i);
    bool Fail(const std::string& what) {
        std::printf("error: %s\n", what.c_str());
        std::fflush(stdout);
        return false;
    }
    // Reads "--NAME VALUE" when it follows; keeps `fallback` otherwise.
    static long Option(const std::vector<std::string>& args, std::size_t& i, const char* name, long fallback);
    HWND FindTopLevel(const std::string& caption) const;
    void EndStarted();

    bool Start(const std::string& commandLine, const std::string& cwd);
    bool Wait(const std::string& caption, long timeoutMs);
    bool Dump();
    bool Press(const std::string& which);
    bool Type(const std::string& id, const std::string& text);
    bool Gone(long timeoutMs);
    bool Absent(const std::string& caption, long forMs);
    bool ExitCode(long timeoutMs);
    bool Windowless(long timeoutMs);
    bool Key(const std::string& name);
    bool Chars(const std::string& id, const std::string& text);
    HWND TreeOf(const char* step);
    bool PrintTreeSelection();
    bool SelectTreeParent();
    bool PrintRect(const std::string& id);
    bool Fits(const std::string& face, int points);

    HWND m_hCurrent = nullptr;
    Clock::time_point m_foundAt{};
    PROCESS_INFORMATION m_process{};
    bool m_bStarted = false;
};

long Driver::Option(const std::vector<std::string>& args, std::size_t& i, const char* name, long fallback) {
    if (i + 1 < args.size() && args[i] == std::string("--") + name) {
        const long value = std::strtol(args[i + 1].c_str(), nullptr, 10);
        i += 2;
        return value;
    }
    return fallback;
}

struct FindContext {
    const std::string* caption;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    if (!IsWindowVisible(window)) return TRUE;
    if (context->processId != 0) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != context->processId) return TRUE;
    }
    if (TextOf(window) == *context->caption) {
        context->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Driver::FindTopLevel(const std::string& caption) const {
    FindContext context{&caption, m_bStarted ? m_process.dwProcessId : 0, nullptr};
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&context));
    return context.found;
}

void Driver::EndStarted() {
    if (!m_bStarted) return;
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_process.hProcess, 255);
        WaitForSingleObject(m_process.hProcess, 5000);
    }
    CloseHandle(m_process.hThread);
    CloseHandle(m_process.hProcess);
    m_bStarted = false;
    m_hCurrent = nullptr;
}

bool Driver::Start(const std::string& commandLine, const std::string& cwd) {
    EndStarted();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    // Under load Wine now and then fails a start with ERROR_INTERNAL_ERROR (the new process died
    // while it was set up); that start is tried again, any other failure is the answer.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &startup, &m_process))
            break;
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == 3)
            return Fail("cannot start " + commandLine + " (error " + std::to_string(error) + ")");
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    m_bStarted = true;
    return true;
}

bool Driver::Wait(const std::string& caption, long timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (HWND window = FindTopLevel(caption)) {
            m_hCurrent = window;
            m_foundAt = Clock::now();
            return true;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return Fail("timeout waiting for window \"" + Escape(caption) + "\"");
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
    const std::string cls = ClassOf(control);
    std::printf("control id=%d class=%s enabled=%d visible=%d text=\"%s\"", GetDlgCtrlID(control), cls.c_str(),
                IsWindowEnabled(control) ? 1 : 0, IsWindowVisible(control) ? 1 : 0, Escape(TextOf(control)).c_str());
    if (lstrcmpiA(cls.c_str(), PROGRESS_CLASSA) == 0) {
        DWORD_PTR pos = 0;
        SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &pos);
        std::printf(" pos=%d", static_cast<int>(pos));
    }
    if (lstrcmpiA(cls.c_str(), "Static") == 0 && (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        DWORD_PTR icon = 0;
        SendMessageTimeoutA(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &icon);
        std::printf(" icon=%d", icon != 0 ? 1 : 0);
    }
    std::printf("\n");
    return TRUE;
}

bool Driver::Dump() {
    if (!IsWindow(m_hCurrent)) return Fail("dump: no current window");
    std::printf("window \"%s\" class=%s enabled=%d\n", Escape(TextOf(m_hCurrent)).c_str(), ClassOf(m_hCurrent).c_str(),
                IsWindowEnabled(m_hCurrent) ? 1 : 0);
    EnumChildWindows(m_hCurrent, PrintControl, 0);
    std::fflush(stdout);
    return true;
}

struct ButtonSearch {
    std::string text;
    HWND found;
};

BOOL CALLBACK MatchButton(HWND control, LPARAM param) {
    auto* search = reinterpret_cast<ButtonSearch*>(param);
    if (lstrcmpiA(ClassOf(control).c_str(), "Button") == 0 && Simplified(TextOf(control)) == search->text) {
        search->found = control;
        return FALSE;
    }
    return TRUE;
}

bool Driver::Press(const std::string& which) {
    if (!IsWindow(m_hCurrent)) return Fail("press: no current window");
    HWND button = nullptr;
    char* end = nullptr;
    const long id = std::strtol(which.c_str(), &end, 10);
    if (!which.empty() && *end == '\0') {
        button = GetDlgItem(m_hCurrent, static_cast<int>(id));
    } else {
        ButtonSearch search{Simplified(which), nullptr};
        EnumChildWindows(m_hCurrent, MatchButton, reinterpret_cast<LPARAM>(&search));
        button = search.found;
    }
    if (button == nullptr) return Fail("press: no button \"" + Escape(which) + "\"");
    if (!IsWindowEnabled(button)) return Fail("press: button \"" + Escape(which) + "\" is disabled");
    // The notification a click sends, posted to the button's dialog: works for message boxes too.
    PostMessageA(m_hCurrent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
}

bool Driver::Type(const std::string& id, const std::string& text) {
    if (!IsWindow(m_hCurrent)) return Fail("type: no current window");
    HWND control = GetDlgItem(m_hCurrent, std::atoi(id.c_str()));
    if (control == nullptr) return Fail("type: no control " + id);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 2000,
                             &result)) {
        return Fail("type: control " + id + " does not answer");
    }
    return true;
}

// Reports when the window was first seen hidden as well: under Wine without a window manager the
// destruction waits about 2 s for the window's withdrawal, while hiding shows when the program ended it.
bool Driver::Gone(long timeoutMs) {
    if (m_hCurrent == nullptr) return Fail("gone: no current window");
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    long long hiddenAfter = -1;
    auto since = [this] {
        return static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_foundAt).count());
    };
    while (IsWindow(m_hCurrent)) {
        if (hiddenAfter < 0 && !IsWindowVisible(m_hCurrent)) hiddenAfter = since();
        if (Clock::now() >= deadline) return Fail("timeout waiting for the window to go");
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs / 4));
    }
    const long long goneAfter = since();
    std::printf("gone after=%lld hidden=%lld\n", goneAfter, hiddenAfter < 0 ? goneAfter : hiddenAfter);
    std::fflush(stdout);
    m_hCurrent = nullptr;
    return true;
}

bool Driver::Absent(const std::string& caption, long forMs) {
    const auto until = Clock::now() + std::chrono::milliseconds(forMs);
    do {
        if (FindTopLevel(caption) != nullptr) return Fail("unexpected window \"" + Escape(caption) + "\"");
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    } while (Clock::now() < until);
    return true;
}

bool Driver::ExitCode(long timeoutMs) {
    if (!m_bStarted) return Fail("exitcode: nothing was started");
    if (WaitForSingleObject(m_process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        return Fail("timeout waiting for the program to end");
    }
    DWORD code = 0;
    GetExitCodeProcess(m_process.hProcess, &code);
    std::printf("exit code=%lu\n", static_cast<unsigned long>(code));
    std::fflush(stdout);
    EndStarted();
    return true;
}

// Any visible top-level window of the process.
BOOL CALLBACK MatchAnyOfProcess(HWND window, LPARAM param) {
    auto* context = reinterpret_cast<FindContext*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != context->processId || !IsWindowVisible(window)) return TRUE;
    context->found = window;
    return FALSE;
}

bool Driver::Windowless(long timeoutMs) {
    if (!m_bStarted) return Fail("windowless: nothing was started");
    const std::string any;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        FindContext context{&any, m_process.dwProcessId, nullptr};
        EnumWindows(MatchAnyOfProcess, reinterpret_cast<LPARAM>(&context));
        if (context.found != nullptr) return Fail("unexpected window \"" + Escape(TextOf(context.found)) + "\"");
        if (WaitForSingleObject(m_process.hProcess, kPollMs) == WAIT_OBJECT_0) return ExitCode(0);
        if (Clock::now() >= deadline) return Fail("timeout waiting for the program to end");
    }
}

// The window that has the keyboard focus in the current window's thread, else the window itself.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != nullptr) {
        return info.hwndFocus;
    }
    return window;
}

// Posted like the keyboard would queue it: the modal loop's dialog manager handles Escape and Enter.
bool Driver::Key(const std::string& name) {
    if (!IsWindow(m_hCurrent)) return Fail("key: no current window");
    const std::string key = Simplified(name);
    UINT vk = 0;
    if (key == "escape" || key == "esc")
        vk = VK_ESCAPE;
    else if (key == "enter" || key == "return")
        vk = VK_RETURN;
    else if (key == "tab")
        vk = VK_TAB;
    else if (key == "space")
        vk = VK_SPACE;
    else
        return Fail("key: unknown key \"" + Escape(name) + "\"");
    HWND target = FocusOf(m_hCurrent);
    const UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000u);
    return true;
}

bool Driver::Chars(const std::string& id, const std::string& text) {
    if (!IsWindow(m_hCurrent)) return Fail("chars: no current window");
    HWND control = GetDlgItem(m_hCurrent, std::atoi(id.c_str()));
    if (control == nullptr) return Fail("chars: no control " + id);
    for (unsigned char c : text) {
        PostMessageA(control, WM_CHAR, c, 1);
    }
    return true;
}

HWND Driver::TreeOf(const char* step) {
    if (!IsWindow(m_hCurrent)) {
        Fail(std::string(step) + ": no current window");
        return nullptr;
    }
    HWND tree = FindWindowExA(m_hCurrent, nullptr, WC_TREEVIEWA, nullptr);
    if (tree == nullptr) Fail(std::string(step) + ": no tree view");
    return tree;
}

// Item texts live in the other process: TVM_GETITEM is not marshalled, so the item structure and
// its text buffer are placed in that process's memory and read back.
bool Driver::PrintTreeSelection() {
    HWND tree = TreeOf("tree");
    if (tree == nullptr) return false;
    DWORD processId = 0;
    GetWindowThreadProcessId(tree, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (process == nullptr) return Fail("tree: cannot open the program's memory");
    constexpr SIZE_T kTextSize = 520;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(TVITEMA) + kTextSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (remote == nullptr) {
        CloseHandle(process);
        return Fail("tree: cannot place a buffer in the program");
    }
    std::vector<std::string> chain;
    DWORD_PTR item = 0;
    SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 2000, &item);
    while (item != 0 && chain.size() < 64) {
        TVITEMA query{};
        query.mask = TVIF_TEXT | TVIF_HANDLE;
        query.hItem = reinterpret_cast<HTREEITEM>(item);
        query.pszText = remote + sizeof(TVITEMA);
        query.cchTextMax = static_cast<int>(kTextSize);
        char text[kTextSize] = {};
        SIZE_T done = 0;
        DWORD_PTR ok = 0;
        if (!WriteProcessMemory(process, remote, &query, sizeof query, &done) ||
            !SendMessageTimeoutA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 2000,
                                 &ok) ||
            !ok || !ReadProcessMemory(process, remote + sizeof(TVITEMA), text, kTextSize - 1, &done)) {
            break;
        }
        chain.insert(chain.begin(), text);
        SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_PARENT, static_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 2000,
                            &item);
    }
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    std::string joined;
    for (std::size_t k = 0; k < chain.size(); ++k) {
        joined += (k ? "\\" : "") + chain[k];
    }
    std::printf("tree selected=\"%s\"\n", Escape(joined).c_str());
    std::fflush(stdout);
    return true;
}

bool Driver::SelectTreeParent() {
    HWND tree = TreeOf("treeup");
    if (tree == nullptr) return false;
    DWORD_PTR item = 0, parent = 0, done = 0;
    SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, SMTO_ABORTIFHUNG, 2000, &item);
    if (item != 0) {
        SendMessageTimeoutA(tree, TVM_GETNEXTITEM, TVGN_PARENT, static_cast<LPARAM>(item), SMTO_ABORTIFHUNG, 2000,
                            &parent);
    }
    if (parent == 0) return Fail("treeup: the selected item has no parent");
    SendMessageTimeoutA(tree, TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(parent), SMTO_ABORTIFHUNG, 2000, &done);
    return true;
}

bool Driver::PrintRect(const std::string& id) {
    if (!IsWindow(m_hCurrent)) return Fail("rect: no current window");
    HWND control = GetDlgItem(m_hCurrent, std::atoi(id.c_str()));
    if (control == nullptr) return Fail("rect: no control " + id);
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, m_hCurrent, reinterpret_cast<POINT*>(&r), 2);
    std::printf("rect id=%d x=%ld y=%ld w=%ld h=%ld\n", GetDlgCtrlID(control), static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right - r.left), static_cast<long>(r.bottom - r.top));
    std::fflush(stdout);
    return true;
}

struct FitContext {
    HDC dc;
    bool allFit;
};

// The room a control's text needs: a static text wraps at word breaks within its width, a push
// button shows one line inside its two-pixel frame. Other controls are not measured.
BOOL CALLBACK MeasureControl(HWND control, LPARAM param) {
    auto* context = reinterpret_cast<FitContext*>(param);
    const std::string text = TextOf(control);
    const std::string cls = ClassOf(control);
    const LONG style = GetWindowLongA(control, GWL_STYLE);
    const bool isStatic =
        lstrcmpiA(cls.c_str(), "Static") == 0 &&
        ((style & SS_TYPEMASK) == SS_LEFT || (style & SS_TYPEMASK) == SS_CENTER || (style & SS_TYPEMASK) == SS_RIGHT);
    const bool isButton = lstrcmpiA(cls.c_str(), "Button") == 0 &&
                          ((style & BS_TYPEMASK) == BS_PUSHBUTTON || (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
    if (text.empty() || !IsWindowVisible(control) || !(isStatic || isButton)) return TRUE;
    RECT have{};
    GetClientRect(control, &have);
    const int frame = isButton ? 2 : 0;
    RECT need{0, 0, have.right - 2 * frame, 0};
    const UINT flags = DT_CALCRECT | DT_EXPANDTABS | (isButton ? DT_SINGLELINE : DT_WORDBREAK) |
                       ((style & SS_NOPREFIX) && isStatic ? DT_NOPREFIX : 0);
    DrawTextA(context->dc, text.c_str(), -1, &need, flags);
    const bool fits = need.right + 2 * frame <= have.right && need.bottom + 2 * frame <= have.bottom;
    context->allFit &= fits;
    std::printf("fits id=%d need=%ldx%ld have=%ldx%ld ok=%d text=\"%s\"\n", GetDlgCtrlID(control),
                static_cast<long>(need.right + 2 * frame), static_cast<long>(need.bottom + 2 * frame),
                static_cast<long>(have.right), static_cast<long>(have.bottom), fits ? 1 : 0, Escape(text).c_str());
    return TRUE;
}

bool Driver::Fits(const std::string& face, int points) {
    if (!IsWindow(m_hCurrent)) return Fail("fits: no current window");
    HDC dc = GetDC(nullptr);
    HFONT font = CreateFontA(-MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, face.c_str());
    HGDIOBJ previous = SelectObject(dc, font);
    FitContext context{dc, true};
    EnumChildWindows(m_hCurrent, MeasureControl, reinterpret_cast<LPARAM>(&context));
    SelectObject(dc, previous);
    DeleteObject(font);
    ReleaseDC(nullptr, dc);
    std::fflush(stdout);
    return context.allFit ? true : Fail("fits: a text is cut off");
}

bool Driver::Step(const std::vector<std::string>& args, std::size_t& i) {
    std::string name = args[i];
    if (name.rfind("--", 0) == 0) name = name.substr(2);
    ++i;
    auto needs = [&](std::size_t count) {
        if (i + count > args.size()) {
            std::printf("usage: %s needs %zu argument(s)\n", name.c_str(), count);
            std::exit(3);
        }
    };
    if (name == "start") {
        needs(1);
        const std::string line = args[i++];
        std::string cwd;
        if (i + 1 < args.size() && args[i] == "--cwd") {
            cwd = args[i + 1];
            i += 2;
        }
        return Start(line, cwd);
    }
    if (name == "wait") {
        needs(1);
        const std::string caption = args[i++];
        return Wait(caption, Option(args, i, "timeout", 20) * 1000);
    }
    if (name == "dump") return Dump();
    if (name == "press") {
        needs(1);
        return Press(args[i++]);
    }
    if (name == "type") {
        needs(2);
        const std::string id = args[i++];
        return Type(id, args[i++]);
    }
    if (name == "close") {
        if (!IsWindow(m_hCurrent)) return Fail("close: no current window");
        PostMessageA(m_hCurrent, WM_CLOSE, 0, 0);
        return true;
    }
    if (name == "sysclose") {
        if (!IsWindow(m_hCurrent)) return Fail("sysclose: no current window");
        PostMessageA(m_hCurrent, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }
    if (name == "key") {
        needs(1);
        return Key(args[i++]);
    }
    if (name == "chars") {
        needs(2);
        const std::string id = args[i++];
        return Chars(id, args[i++]);
    }
    if (name == "tree") return PrintTreeSelection();
    if (name == "rect") {
        needs(1);
        return PrintRect(args[i++]);
    }
    if (name == "fits") {
        needs(2);
        const std::string face = args[i++];
        return Fits(face, std::atoi(args[i++].c_str()));
    }
    if (name == "treeup") return SelectTreeParent();
    if (name == "gone") return Gone(Option(args, i, "timeout", 20) * 1000);
    if (name == "absent") {
        needs(1);
        const std::string caption = args[i++];
        return Absent(caption, Option(args, i, "for", 1000));
    }
    if (name == "exitcode") return ExitCode(Option(args, i, "timeout", 30) * 1000);
    if (name == "windowless") return Windowless(Option(args, i, "timeout", 30) * 1000);
    if (name == "sleep") {
        needs(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(args[i++].c_str())));
        return true;
    }
    if (name == "echo") {
        needs(1);
        std::printf("== %s\n", args[i++].c_str());
        std::fflush(stdout);
        return true;
    }
    std::printf("usage: unknown step \"%s\"\n", name.c_str());
    std::exit(3);
}

int Driver::Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::printf("usage: uidriver STEP [STEP...]  (see the top of uidriver.cpp)\n");
        return 3;
    }
    bool allPassed = true;
    std::size_t i = 0;
    while (i < args.size()) {
        if (Step(args, i)) continue;
        allPassed = false;
        // A failed case ends its program and skips to the next case.
        EndStarted();
        while (i < args.size() && args[i] != "start" && args[i] != "--start" && args[i] != "echo" &&
               args[i] != "--echo") {
            ++i;
        }
    }
    EndStarted();
    return allPassed ? 0 : 1;
}

}  // namespace
}  // namespace kv::tools

int main(int argc, char** argv) {
    // Measures at the screen's real DPI, as the programs it drives see it.
    SetProcessDPIAware();
    std::vector<std::string> args(argv + 1, argv + argc);
    kv::tools::Driver driver;
    return driver.Run(args);
}

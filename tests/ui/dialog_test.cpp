// The modal dialog base and the main dialog's controls, on real windows: message routing, the
// catch-all, data exchange with its 260-character limit, and the progress bar's steps.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "ui/installer_dlg.h"
#include "ui/resource.h"

namespace kv::ui {
namespace {

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
};

// Records the handlers in the order the dialog procedure calls them.
class RoutingDialog : public CDialog {
public:
    RoutingDialog() : CDialog(IDD_INSTALLER_DIALOG) {}
    std::vector<std::string> calls;

protected:
    BOOL OnInitDialog() override {
        calls.push_back("init");
        CDialog::OnInitDialog();
        SetTimer(7, 10);
        return TRUE;
    }
    bool OnTimer(UINT_PTR id) override {
        calls.push_back("timer " + std::to_string(id));
        KillTimer(id);
        PostMessage(WM_COMMAND, MAKEWPARAM(IDC_INSTALL_NOW, BN_CLICKED), 0);
        return true;
    }
    bool OnCommand(WORD id, WORD code, HWND control) override {
        if (id == IDC_INSTALL_NOW) {
            calls.push_back("command " + std::to_string(id));
            PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
            return true;
        }
        return CDialog::OnCommand(id, code, control);
    }
    void OnCancel() override {
        calls.push_back("cancel");
        CDialog::OnCancel();
    }
};

TEST_F(DialogTest, RoutesMessagesToHandlers) {
    RoutingDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"init", "timer 7", "command 1005", "cancel"}));
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
}

class ThrowingDialog : public CDialog {
public:
    ThrowingDialog() : CDialog(IDD_INSTALLER_DIALOG) {}
    std::string reported;

protected:
    BOOL OnInitDialog() override { throw std::runtime_error("boom"); }
    void OnUnhandledException(const char* what) override {
        reported = what;
        ::EndDialog(m_hWnd, IDABORT);
    }
};

TEST_F(DialogTest, ExceptionsStopAtTheDialogProcedure) {
    ThrowingDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDABORT);
    EXPECT_EQ(dialog.reported, "boom");
}

// Dismisses the first message box of this process that shows up, and keeps its text.
class BoxCloser {
public:
    BoxCloser()
        : m_thread([this] {
              for (int i = 0; i < 500 && !m_stop; ++i) {
                  HWND box = ::FindWindowA("#32770", "Error");
                  if (box != nullptr) {
                      char text[256] = {};
                      ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
                      m_text = text;
                      ::PostMessageA(box, WM_COMMAND, IDOK, 0);
                      return;
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ~BoxCloser() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    // Waits until the box has been closed (or the search gave up) and returns its text.
    std::string Text() {
        if (m_thread.joinable()) m_thread.join();
        return m_text;
    }

private:
    std::atomic<bool> m_stop{false};
    std::string m_text;
    std::thread m_thread;
};

class ExchangeDialog : public CDialog {
public:
    ExchangeDialog() : CDialog(IDD_INSTALLER_DIALOG) {}
    std::string m_strFolder = "C:\\Start";
    std::string m_strTitle = "A Title";
    std::string shownFolder, shownTitle, readBack, tooLongMessage;
    LRESULT limit = 0;
    BOOL acceptedShort = FALSE, acceptedLong = TRUE;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, IDC_FOLDER, m_strFolder);
        DDV_MaxChars(pDX, m_strFolder, 260);
        DDX_Text(pDX, IDC_TITLE, m_strTitle);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        char text[400] = {};
        ::GetDlgItemTextA(m_hWnd, IDC_FOLDER, text, sizeof text);
        shownFolder = text;
        ::GetDlgItemTextA(m_hWnd, IDC_TITLE, text, sizeof text);
        shownTitle = text;
        limit = ::SendDlgItemMessageA(m_hWnd, IDC_FOLDER, EM_GETLIMITTEXT, 0, 0);

        ::SetDlgItemTextA(m_hWnd, IDC_FOLDER, std::string(260, 'a').c_str());
        acceptedShort = UpdateData(TRUE);
        readBack = m_strFolder;

        ::SetDlgItemTextA(m_hWnd, IDC_FOLDER, std::string(261, 'b').c_str());
        BoxCloser closer;
        acceptedLong = UpdateData(TRUE);
        tooLongMessage = closer.Text();
        EndDialog(IDOK);
        return TRUE;
    }
};

TEST_F(DialogTest, DataExchangeFillsLimitsAndRefusesTooLongText) {
    ExchangeDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.shownFolder, "C:\\Start");
    EXPECT_EQ(dialog.shownTitle, "A Title");
    EXPECT_EQ(dialog.limit, 260);
    EXPECT_TRUE(dialog.acceptedShort);
    EXPECT_EQ(dialog.readBack, std::string(260, 'a'));
    EXPECT_FALSE(dialog.acceptedLong);
    EXPECT_EQ(dialog.tooLongMessage, "Please enter no more than 260 characters.");
    // As with the framework's exchange, the member takes the text and the check then reports it;
    // the run refuses a folder longer than its buffer on its own.
    EXPECT_EQ(dialog.m_strFolder, std::string(261, 'b'));
}

// The main dialog without its archive loading: only its controls and StepProgress.
class ProgressDialog : public CInstallerDlg {
public:
    explicit ProgressDialog(std::vector<int> counts) : CInstallerDlg("", "none", ""), m_counts(std::move(counts)) {}
    std::vector<int> positions;

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        for (int count : m_counts) {
            if (count < 0) {
                m_progress.SendMessage(PBM_SETPOS, 0);
                continue;
            }
            StepProgress(count);
            positions.push_back(m_progress.GetPos());
        }
        CDialog::EndDialog(IDOK);
        return TRUE;
    }

private:
    std::vector<int> m_counts;
};

TEST_F(DialogTest, StepProgressMovesTheRealBar) {
    // -1 resets the bar between series.
    ProgressDialog dialog({3, 3, 3, 3, -1, 1, -1, 0, 0, -1, 200, 200});
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.positions, (std::vector<int>{34, 68, 100, 100, 100, 0, 0, 1, 2}));
}

}  // namespace
}  // namespace kv::ui

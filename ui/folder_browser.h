// The folder browser: the shell's folder-browse dialog with a prompt, the typed folder preselected,
// answering the chosen folder's file-system path.
#pragma once

#include <windows.h>

#include <string>

namespace kv::ui {

inline constexpr int kFolderChosen = 1;
inline constexpr int kFolderNotChosen = 2;

// One browse request.
class CFolderBrowser {
public:
    virtual ~CFolderBrowser() = default;

    // 1 when a file-system folder was chosen (its path then in m_strPath), 2 in every other case.
    int Browse();

    std::string m_strPath;           // the result; during the browse the chosen item's display name
    std::string m_strInitialFolder;  // the folder to preselect; may be empty
    std::string m_strPrompt;         // the text above the folder tree
    HWND m_hwndOwner = nullptr;      // the browse dialog is modal to this window
};

// The shell's browse callback: at initialisation it asks the browser to select the object's initial
// folder. Always 0.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM argument, LPARAM data);

// Shows the browser over `owner` with `initialFolder` preselected (one trailing backslash dropped).
// 1: a folder was chosen and its path, with its terminator, stands in `resultBuffer` (260 bytes);
// 2: nothing was chosen and `resultBuffer` is untouched.
int PickFolder(const std::string& prompt, const std::string& initialFolder, HWND owner, char* resultBuffer);

}  // namespace kv::ui

// The folder browser: the shell's folder-browse dialog with a prompt, the typed folder preselected,
// answering the chosen folder's file-system path.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kv::ui {

// One browse request.
class CFolderBrowser {
public:
    virtual ~CFolderBrowser() = default;

    // True when a file-system folder was chosen; its path is then in m_strPath.
    bool Browse();

    std::string m_strPath;           // the result; during the browse the chosen item's display name
    std::string m_strInitialFolder;  // the folder to preselect; may be empty
    std::string m_strPrompt;         // the text above the folder tree
    HWND m_hwndOwner = nullptr;      // the browse dialog is modal to this window
};

// The shell's browse callback: at initialisation it asks the browser to select the object's initial
// folder. Always 0.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM argument, LPARAM data);

// Shows the browser over `owner` with `initialFolder` preselected (one trailing backslash dropped).
// The chosen folder's path (at most 259 characters), or nothing when none was chosen.
std::optional<std::string> PickFolder(const std::string& prompt, const std::string& initialFolder, HWND owner);

}  // namespace kv::ui

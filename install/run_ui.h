// What the installation run needs from the main dialog: its controls, its progress bar, the licence
// dialog and its ways of closing. The dialog implements this; native tests use a recording fake.
// Message boxes are not here: they are System::AskUser, owned by the dialog's window.
#pragma once

#include <string>

namespace kv::install {

class RunUi {
public:
    virtual ~RunUi() = default;

    // Data exchange in the saving direction: the current text of the folder edit (control 1002).
    virtual std::string ReadFolderText() = 0;
    // Disables, in this order, the folder edit (1002), Browse (1004), Install Now (1005), Exit (2).
    virtual void DisableControls() = 0;
    // One step of the progress bar (control 1000): PBM_DELTAPOS by 100 / fileCount + 1.
    // The run never calls it with fileCount 0.
    virtual void StepProgress(int fileCount) = 0;
    // Runs the licence dialog modally, without a parent, on the RTF file `licenseFile` (relative to
    // the current directory); returns kIdCancel when the user declines, another value when accepted.
    virtual int ShowLicense(const std::string& licenseFile) = 0;
    // The dialog's cancel handling: closes the archive stream and ends the dialog with IDCANCEL.
    virtual void OnCancel() = 0;
    // Posts WM_COMMAND IDCANCEL (no control handle) to the dialog.
    virtual void PostCancel() = 0;
    // Ends the dialog with `result`.
    virtual void EndDialog(int result) = 0;
};

}  // namespace kv::install

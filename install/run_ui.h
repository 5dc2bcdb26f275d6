// The installation run's view of its window: the folder text, the controls, the progress bar, the
// licence dialog and the questions and warnings shown while the run goes on. The main dialog
// implements this; native tests use a fake. How the run ends is not here: RunInstallation returns
// it, and the dialog shows the closing message and ends itself.
#pragma once

#include <string>

namespace kv::install {

class RunUi {
public:
    virtual ~RunUi() = default;

    // The current text of the folder field, read from the control.
    virtual std::string ReadFolderText() = 0;
    // Disables, in this order, the folder field, Browse, Install Now and Exit.
    virtual void DisableControls() = 0;
    // One step of the progress bar: 100 / fileCount + 1 positions. Never called with fileCount 0.
    virtual void StepProgress(int fileCount) = 0;
    // Shows the licence agreement in the RTF file `licenseFile` (relative to the current
    // directory) and waits for the answer; true when the user accepts it.
    virtual bool ShowLicense(const std::string& licenseFile) = 0;
    // A modal question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // A modal message with an OK button for a failure the run goes on after.
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
};

}  // namespace kv::install

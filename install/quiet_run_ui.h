// The run's window in quiet mode (OptQ): there is none. The folder is the one the installer
// resolved, the licence agreement counts as accepted (the caller chose quiet mode, as with other
// installers' silent switches), questions are answered No, and warnings go to the run log.
#pragma once

#include <string>

#include "install/run_ui.h"
#include "os/run_log.h"

namespace kv::install {

class QuietRunUi final : public RunUi {
public:
    QuietRunUi(std::string folder, os::RunLog& log) : m_strFolder(std::move(folder)), m_log(log) {}

    std::string ReadFolderText() override { return m_strFolder; }
    void DisableControls() override {}
    void StepProgress(int) override {}
    bool ShowLicense(const std::string& licenseFile) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;

private:
    std::string m_strFolder;
    os::RunLog& m_log;
};

}  // namespace kv::install

// Quiet mode's answers, each written to the run log.
#include "install/quiet_run_ui.h"

namespace kv::install {

bool QuietRunUi::ShowLicense(const std::string&) {
    m_log.Line("Licence agreement accepted: quiet mode");
    return true;
}

// Nobody can answer: a question that would start or change something is answered No.
bool QuietRunUi::AskYesNo(const std::string& text, const std::string& caption) {
    m_log.Line({"Question answered No in quiet mode (", caption, "): ", text});
    return false;
}

void QuietRunUi::ShowWarning(const std::string& text, const std::string& caption) {
    m_log.Line({"Warning (", caption, "): ", text});
}

}  // namespace kv::install

// The fake run window.
#include "fake_ui.h"

#include <algorithm>

namespace kv::install::testing {

bool FakeUi::ShowLicense(const std::string& licenseFile) {
    m_licenseShown = m_system.FileBytes(licenseFile);
    return m_acceptLicense;
}

bool FakeUi::AskYesNo(const std::string& text, const std::string& caption) {
    m_messages.push_back({text, caption, true});
    if (m_answers.empty()) return false;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

void FakeUi::ShowWarning(const std::string& text, const std::string& caption) {
    m_messages.push_back({text, caption, false});
}

}  // namespace kv::install::testing

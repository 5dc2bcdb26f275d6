// The fake run window and the in-memory installer bytes.
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

std::size_t FakeEntries::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    if (offset >= m_bytes.size()) return 0;
    const std::size_t n = std::min<std::size_t>(into.size(), m_bytes.size() - offset);
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, into.begin());
    return n;
}

}  // namespace kv::install::testing

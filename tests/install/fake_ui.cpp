// The recording RunUi and the in-memory installer bytes.
#include "fake_ui.h"

#include <algorithm>

namespace kv::install::testing {

std::string FakeUi::ReadFolderText() {
    m_events.push_back("ReadFolderText");
    return m_folderText;
}

void FakeUi::DisableControls() {
    m_events.push_back("DisableControls");
}

void FakeUi::StepProgress(int fileCount) {
    const int step = 100 / fileCount + 1;
    m_steps.push_back(step);
    m_position = std::min(100, m_position + step);
    m_events.push_back("StepProgress");
}

int FakeUi::ShowLicense(const std::string& licenseFile) {
    m_events.push_back("ShowLicense " + licenseFile);
    m_licenseShown = m_system.FileBytes(licenseFile);
    return m_licenseAnswer;
}

void FakeUi::OnCancel() {
    m_events.push_back("OnCancel");
}

void FakeUi::PostCancel() {
    m_events.push_back("PostCancel");
}

void FakeUi::EndDialog(int result) {
    m_events.push_back("EndDialog " + std::to_string(result));
}

std::size_t FakeEntries::ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) {
    if (offset >= m_bytes.size()) return 0;
    const std::size_t n = std::min<std::size_t>(into.size(), m_bytes.size() - offset);
    std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(offset), n, into.begin());
    return n;
}

}  // namespace kv::install::testing

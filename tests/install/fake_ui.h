// The installation run's other ends for native tests: a recording RunUi and the installer file's
// bytes read at offsets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fake_system.h"
#include "install/installation_run.h"
#include "install/run_ui.h"

namespace kv::install::testing {

using os::testing::FakeSystem;
using os::kIdOk;

// A recording RunUi.
class FakeUi : public RunUi {
public:
    explicit FakeUi(FakeSystem& system) : m_system(system) {}
    std::string ReadFolderText() override;
    void DisableControls() override;
    void StepProgress(int fileCount) override;
    int ShowLicense(const std::string& licenseFile) override;
    void OnCancel() override;
    void PostCancel() override;
    void EndDialog(int result) override;

    // The position the progress bar would show (0 to 100, clamped like the control).
    int ProgressPosition() const { return m_position; }

    FakeSystem& m_system;
    std::string m_folderText = "C:\\App";
    int m_licenseAnswer = kIdOk;
    std::vector<std::string> m_events;
    std::vector<int> m_steps;
    std::optional<std::vector<std::uint8_t>> m_licenseShown;  // the licence file's bytes when shown
    int m_position = 0;
};

// The installer file's bytes, read at absolute offsets.
class FakeEntries : public EntryReader {
public:
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override;
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace kv::install::testing

// The installation run's other ends for native tests: a RunUi that keeps what the user was shown
// and answers as told, and the installer file's bytes read at offsets.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "fake_system.h"
#include "install/installation_run.h"
#include "install/run_ui.h"

namespace kv::install::testing {

using os::testing::FakeSystem;

class FakeUi : public RunUi {
public:
    struct Message {
        std::string text;
        std::string caption;
        bool question = false;  // Yes and No buttons rather than OK
    };

    explicit FakeUi(FakeSystem& system) : m_system(system) {}
    std::string ReadFolderText() override { return m_folderText; }
    void DisableControls() override { m_controlsDisabled = true; }
    void StepProgress(int fileCount) override {
        ++m_progressSteps;
        m_progressFileCount = fileCount;
    }
    bool ShowLicense(const std::string& licenseFile) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;
    void ShowWarning(const std::string& text, const std::string& caption) override;

    FakeSystem& m_system;
    std::string m_folderText = "C:\\App";
    bool m_acceptLicense = true;
    std::deque<bool> m_answers;  // answers to the Yes/No questions in order; No when none is left
    bool m_controlsDisabled = false;
    int m_progressSteps = 0;          // the bar is full after fileCount + 1 of them (the dialog's arithmetic)
    int m_progressFileCount = 0;      // the count the last step was made for
    std::vector<Message> m_messages;  // every question and warning, in order
    std::optional<std::vector<std::uint8_t>> m_licenseShown;  // the licence file's bytes when shown
};

// The installer file's bytes, read at absolute offsets.
class FakeEntries : public archive::ReadAtSource {
public:
    std::uint64_t Size() override { return m_bytes.size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
        return archive::SpanSource(m_bytes).ReadAt(offset, into);
    }
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace kv::install::testing

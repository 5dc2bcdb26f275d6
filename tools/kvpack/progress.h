// A one-line progress display on stderr, shown only when stderr is a terminal.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace kv::tools {

class Progress {
public:
    // `enabled` false (or stderr not a terminal) makes every call do nothing.
    Progress(std::string label, std::size_t total, bool enabled = true);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Step(const std::string& item);  // one item finished; safe from any thread

private:
    std::mutex m_mutex;
    std::string m_label;
    std::size_t m_total;
    std::size_t m_done = 0;
    bool m_shown;
};

}  // namespace kv::tools

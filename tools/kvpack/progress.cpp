// A one-line progress display on stderr, shown only when stderr is a terminal.
#include "tools/kvpack/progress.h"

#include <cstdio>
#include <unistd.h>

namespace kv::tools {

Progress::Progress(std::string label, std::size_t total, bool enabled)
    : m_label(std::move(label)), m_total(total), m_shown(enabled && isatty(STDERR_FILENO) != 0) {}

Progress::~Progress() {
    if (m_shown && m_done > 0) std::fputs("\r\033[K", stderr);
}

void Progress::Step(const std::string& item) {
    if (!m_shown) return;
    std::lock_guard lock(m_mutex);
    ++m_done;
    const std::size_t percent = m_total == 0 ? 100 : m_done * 100 / m_total;
    std::fprintf(stderr, "\r\033[K%s %zu/%zu (%zu%%) %s", m_label.c_str(), m_done, m_total, percent, item.c_str());
    std::fflush(stderr);
}

}  // namespace kv::tools

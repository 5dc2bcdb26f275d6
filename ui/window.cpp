// The one CWnd operation that needs more than a single call: reading a window's whole text.
#include "ui/window.h"

#include <vector>

namespace kv::ui {

std::string CWnd::GetWindowText() const {
    assert(::IsWindow(m_hWnd));
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        return {};
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(m_hWnd, buffer.data(), length + 1);
    return std::string(buffer.data(), static_cast<std::size_t>(copied > 0 ? copied : 0));
}

}  // namespace kv::ui

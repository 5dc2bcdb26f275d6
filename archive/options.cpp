// The command-line option test.
#include "archive/options.h"

#include <cstring>

#include "archive/ascii_case.h"

namespace kv::archive {

int OptionPresent(const char* option, const char* text) {
    if (option == nullptr || text == nullptr) return 0;
    const std::size_t n = std::strlen(option);
    const std::size_t m = std::strlen(text);
    if (n == 0 || m == 0 || m < n) return 0;
    for (std::size_t i = 0; i + n <= m; ++i) {
        std::size_t k = 0;
        while (k < n && LowerAscii(text[i + k]) == LowerAscii(option[k])) ++k;
        if (k == n) return 1;
    }
    return 0;
}

}  // namespace kv::archive

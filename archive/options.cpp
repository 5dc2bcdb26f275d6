// The command-line option test and option values.
#include "archive/options.h"

#include "archive/ascii_case.h"

namespace kv::archive {

namespace {

// Where `word` first occurs in `text`, ASCII letters compared without case.
std::size_t FindIgnoringCase(std::string_view word, std::string_view text) {
    if (word.empty() || text.size() < word.size()) return std::string_view::npos;
    for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
        if (EqualsIgnoringCase(text.substr(i, word.size()), word)) return i;
    }
    return std::string_view::npos;
}

}  // namespace

bool OptionPresent(const char* option, const char* text) {
    if (option == nullptr || text == nullptr) return false;
    return FindIgnoringCase(option, text) != std::string_view::npos;
}

std::optional<OptionValue> FindOptionValue(std::string_view word, std::string_view text) {
    const std::size_t at = FindIgnoringCase(word, text);
    if (at == std::string_view::npos) return std::nullopt;
    OptionValue found;
    found.begin = at;
    std::size_t start = at + word.size();
    if (start < text.size() && text[start] == '"') {
        ++start;
        const std::size_t close = text.find('"', start);
        const std::size_t stop = close == std::string_view::npos ? text.size() : close;
        found.value = std::string(text.substr(start, stop - start));
        found.end = close == std::string_view::npos ? text.size() : close + 1;
        return found;
    }
    std::size_t stop = start;
    while (stop < text.size() && text[stop] != ' ' && text[stop] != '\t') ++stop;
    found.value = std::string(text.substr(start, stop - start));
    found.end = stop;
    return found;
}

}  // namespace kv::archive

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

std::size_t LoneQuote(std::string_view text) {
    std::size_t count = 0;
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            ++count;
            last = i;
        }
    }
    return count % 2 == 1 ? last : std::string_view::npos;
}

std::optional<OptionValue> FindOptionValue(std::string_view word, std::string_view text) {
    const std::size_t at = FindIgnoringCase(word, text);
    if (at == std::string_view::npos) return std::nullopt;
    const std::size_t lone = LoneQuote(text);
    // A word inside a pair of quotes ("OptQ OptLOG=C:\x.log" or "/LOG=C:\My Logs\x.log", quoted
    // whole by a deployment tool) has its value run to that pair's closing quote.
    bool quoted = false;
    for (std::size_t i = 0; i < at; ++i) {
        if (text[i] == '"' && i != lone) quoted = !quoted;
    }
    OptionValue found;
    found.begin = at;
    std::size_t i = at + word.size();
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            if (i != lone) quoted = !quoted;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) break;
        found.value += c;
    }
    found.end = i;
    return found;
}

std::string_view ArgumentsAfterProgramName(std::string_view commandLine) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t pos = 0;
    while (pos < commandLine.size() && blank(commandLine[pos])) ++pos;
    if (pos < commandLine.size() && commandLine[pos] == '"') {
        const std::size_t close = commandLine.find('"', pos + 1);
        pos = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (pos < commandLine.size() && !blank(commandLine[pos])) ++pos;
    }
    while (pos < commandLine.size() && blank(commandLine[pos])) ++pos;
    return commandLine.substr(pos);
}

}  // namespace kv::archive

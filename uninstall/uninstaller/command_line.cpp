// Splitting the uninstaller's command line into folder, product and the quiet and log options.
#include "uninstall/uninstaller/command_line.h"

#include "archive/options.h"

namespace kv::uninstall {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    return text;
}

// The arguments without their "/LOG=path" switch; `logPath` gets the path.
std::string WithoutLogOption(std::string_view arguments, std::string& logPath) {
    std::string rest(arguments);
    if (const auto found = archive::FindOptionValue("/LOG=", arguments)) {
        logPath = found->value;
        rest.erase(found->begin, found->end - found->begin);
    }
    return rest;
}

// Neither the folder (the installer refuses a double quote in it) nor the product name (kvpack and the
// reader refuse one) holds a double quote, so quotes only group words: the registered
// "FOLDER|PRODUCT", each switch quoted on its own, or the whole text quoted as one word.
std::string WithoutQuotes(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c != '"') out += c;
    }
    return out;
}

bool IsQuietWord(std::string_view word) {
    return word.size() == 2 && word[0] == '/' && (word[1] == 'S' || word[1] == 's');
}

// Takes the quiet switches off both ends of `text`. "/S" is only a switch when blanks separate it
// from the rest: Prod/S is a product name.
void TakeQuietWords(std::string_view& text) {
    for (;;) {
        text = Trim(text);
        if (text.size() >= 2 && IsQuietWord(text.substr(text.size() - 2)) &&
            (text.size() == 2 || IsBlank(text[text.size() - 3]))) {
            text.remove_suffix(2);
        } else if (text.size() >= 2 && IsQuietWord(text.substr(0, 2)) && (text.size() == 2 || IsBlank(text[2]))) {
            text.remove_prefix(2);
        } else {
            return;
        }
    }
}

}  // namespace

std::string LogPathOption(std::string_view arguments) {
    std::string path;
    WithoutLogOption(arguments, path);
    return path;
}

bool HasQuietOption(std::string_view arguments) {
    const std::string text = WithoutQuotes(arguments);
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && IsBlank(text[pos])) ++pos;
        std::size_t end = pos;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        if (IsQuietWord(Trim(std::string_view(text).substr(pos, end - pos)))) return true;
        pos = end;
    }
    return false;
}

std::optional<UninstallRequest> ParseUninstallArguments(std::string_view arguments) {
    UninstallRequest request;
    // The log switch goes first: its quoted path may hold blanks, and even "/S".
    const std::string withoutLog = WithoutLogOption(arguments, request.logPath);
    const std::string unquoted = WithoutQuotes(withoutLog);
    request.quiet = HasQuietOption(arguments);
    std::string_view text = unquoted;
    TakeQuietWords(text);
    // The folder cannot hold a vertical bar (the installer refuses such a folder), so the first bar
    // ends it; the product name is everything after it.
    const std::size_t bar = text.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    request.folder = std::string(text.substr(0, bar));
    request.product = std::string(text.substr(bar + 1));
    if (request.folder.empty() || request.product.empty()) return std::nullopt;
    return request;
}

}  // namespace kv::uninstall

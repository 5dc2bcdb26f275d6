// Splitting the uninstaller's command line into folder, product and the quiet option.
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

}  // namespace

std::string LogPathOption(std::string_view arguments) {
    std::string path;
    WithoutLogOption(arguments, path);
    return path;
}

std::string_view ArgumentsOf(std::string_view commandLine) {
    std::size_t pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    if (pos < commandLine.size() && commandLine[pos] == '"') {
        const std::size_t close = commandLine.find('"', pos + 1);
        pos = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (pos < commandLine.size() && !IsBlank(commandLine[pos])) ++pos;
    }
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    return commandLine.substr(pos);
}

bool HasQuietOption(std::string_view arguments) {
    std::string logPath;
    const std::string rest = WithoutLogOption(arguments, logPath);
    const std::string_view text = Trim(rest);
    // "/S" is only taken as the option when a blank separates it from the product name.
    return text.size() >= 3 && IsBlank(text[text.size() - 3]) && text[text.size() - 2] == '/' &&
           (text.back() == 'S' || text.back() == 's');
}

std::optional<UninstallRequest> ParseUninstallArguments(std::string_view arguments) {
    UninstallRequest request;
    // The log switch goes first: its quoted path must not be taken for the quotes around the rest.
    const std::string withoutLog = WithoutLogOption(arguments, request.logPath);
    std::string_view text = Trim(withoutLog);
    // A shell or script that quoted "FOLDER|PRODUCT" because of its blanks: neither part can hold a
    // double quote (the installer refuses one in the folder), so the quotes are only wrapping.
    std::string unquoted;
    if (!text.empty() && text.front() == '"') {
        const std::size_t close = text.rfind('"');
        if (close > 0) {
            unquoted = std::string(text.substr(1, close - 1)) + std::string(text.substr(close + 1));
            text = Trim(unquoted);
        }
    }
    if (HasQuietOption(text)) {
        request.quiet = true;
        text = Trim(text.substr(0, text.size() - 3));
    }
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

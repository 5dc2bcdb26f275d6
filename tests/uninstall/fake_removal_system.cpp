// The in-memory removal seam of the uninstaller's native tests.
#include "fake_removal_system.h"

namespace kv::uninstall::testing {

FakeRemovalSystem::FakeRemovalSystem() {
    AddFolder(kDesktop);
    AddFolder(kPrograms);
}

std::string FakeRemovalSystem::Key(const std::string& path) {
    std::string key = path;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    // "C:\App\\x" and "C:\App\x" name the same file on Windows.
    std::string out;
    for (char c : key) {
        if (c == '\\' && !out.empty() && out.back() == '\\') continue;
        out.push_back(c);
    }
    while (out.size() > 3 && out.back() == '\\') out.pop_back();
    return out;
}

void FakeRemovalSystem::AddFolder(const std::string& path) {
    const std::string key = Key(path);
    for (std::size_t slash = key.find('\\', 3); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
        m_tree[key.substr(0, slash)].folder = true;
    }
    m_tree[key].folder = true;
}

void FakeRemovalSystem::AddFile(const std::string& path, std::vector<std::uint8_t> bytes) {
    const std::string key = Key(path);
    AddFolder(key.substr(0, key.rfind('\\')));
    m_tree[key] = Node{false, std::move(bytes), 0};
}

bool FakeRemovalSystem::HasFile(const std::string& path) const {
    const auto it = m_tree.find(Key(path));
    return it != m_tree.end() && !it->second.folder;
}

bool FakeRemovalSystem::HasFolder(const std::string& path) const {
    const auto it = m_tree.find(Key(path));
    return it != m_tree.end() && it->second.folder;
}

std::vector<std::uint8_t> FakeRemovalSystem::Bytes(const std::string& path) const {
    const auto it = m_tree.find(Key(path));
    return it == m_tree.end() ? std::vector<std::uint8_t>{} : it->second.bytes;
}

void FakeRemovalSystem::HoldInUse(const std::string& path, int attempts) { m_tree.at(Key(path)).inUseFor = attempts; }

void FakeRemovalSystem::PlaceBehindLink(const std::string& path) { m_tree.at(Key(path)).leadsOutside = true; }

bool FakeRemovalSystem::HasChildren(const std::string& key) const {
    const auto lower = m_tree.lower_bound(key + "\\");
    return lower != m_tree.end() && lower->first.compare(0, key.size() + 1, key + "\\") == 0;
}

std::optional<std::vector<std::uint8_t>> FakeRemovalSystem::ReadWholeFile(const std::string& path) {
    const auto it = m_tree.find(Key(path));
    if (it == m_tree.end() || it->second.folder) return std::nullopt;
    return it->second.bytes;
}

bool FakeRemovalSystem::ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (m_failReplace) return false;
    BeforeChange();
    m_tree[Key(path)] = Node{false, {bytes.begin(), bytes.end()}, 0};
    return true;
}

RemoveResult FakeRemovalSystem::RemoveFile(const std::string& path, const std::string&) {
    const auto it = m_tree.find(Key(path));
    if (it == m_tree.end()) return RemoveResult::Missing;
    if (it->second.leadsOutside) return RemoveResult::Outside;
    if (it->second.folder) return RemoveResult::Failed;
    if (it->second.inUseFor != 0) {
        if (it->second.inUseFor > 0) --it->second.inUseFor;
        return RemoveResult::Failed;
    }
    BeforeChange();
    m_tree.erase(it);
    return RemoveResult::Removed;
}

bool FakeRemovalSystem::RemoveEmptyFolder(const std::string& path, const std::string&) {
    const std::string key = Key(path);
    const auto it = m_tree.find(key);
    if (it == m_tree.end() || !it->second.folder || HasChildren(key)) return false;
    BeforeChange();
    m_tree.erase(it);
    m_removedFolders.push_back(path);
    return true;
}

std::optional<std::string> FakeRemovalSystem::SpecialFolderPath(SpecialFolder folder) {
    return std::string(folder == SpecialFolder::Desktop ? kDesktop : kPrograms);
}

std::optional<std::string> FakeRemovalSystem::ReadMachineString(RegistryView view, const std::string& keyPath,
                                                                const std::string& name) {
    const Registry& registry = View(view);
    const auto key = registry.find(keyPath);
    if (key == registry.end()) return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

bool FakeRemovalSystem::DeleteMachineKey(RegistryView view, const std::string& path) {
    if (m_failDeleteKey && View(view).count(path) != 0) return false;
    if (View(view).count(path) != 0) BeforeChange();
    View(view).erase(path);
    return true;
}

bool FakeRemovalSystem::Confirm(const std::string& text, const std::string&) {
    m_questions.push_back(text);
    return m_answerYes;
}

void FakeRemovalSystem::BeforeChange() {
    if (m_changesBeforeStop == 0) throw Stopped{};
    if (m_changesBeforeStop > 0) --m_changesBeforeStop;
}

void FakeRemovalSystem::Tell(const std::string& text, const std::string&, bool) { m_messages.push_back(text); }

}  // namespace kv::uninstall::testing

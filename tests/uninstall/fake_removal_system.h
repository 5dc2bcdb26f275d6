// An in-memory RemovalSystem for native tests: a case-insensitive file tree whose files can be held
// "in use", a registry, and recorded questions and messages.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "uninstall/uninstaller/removal_system.h"

namespace kv::uninstall::testing {

inline constexpr char kDesktop[] = "C:\\Users\\kim\\Desktop";
inline constexpr char kPrograms[] = "C:\\Users\\kim\\Start Menu\\Programs";

class FakeRemovalSystem : public RemovalSystem {
public:
    struct Node {
        bool folder = false;
        std::vector<std::uint8_t> bytes;
        int inUseFor = 0;           // delete attempts still refused (negative: always)
        bool leadsOutside = false;  // reached through a link planted in the folder
        bool operator==(const Node&) const = default;
    };

    FakeRemovalSystem();

    void AddFile(const std::string& path, std::vector<std::uint8_t> bytes = {'x'});
    void AddFolder(const std::string& path);  // with its parents
    bool HasFile(const std::string& path) const;
    bool HasFolder(const std::string& path) const;
    std::vector<std::uint8_t> Bytes(const std::string& path) const;
    void HoldInUse(const std::string& path, int attempts = -1);
    void PlaceBehindLink(const std::string& path);  // RemoveFile then answers Outside
    // Every path in the tree, as stored, for before/after comparisons.
    std::map<std::string, Node> Snapshot() const { return m_tree; }

    std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) override;
    bool ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes) override;
    RemoveResult RemoveFile(const std::string& path, const std::string& within) override;
    bool RemoveEmptyFolder(const std::string& path, const std::string& within) override;
    std::optional<std::string> SpecialFolderPath(SpecialFolder folder) override;
    std::optional<std::string> ReadMachineString(RegistryView view, const std::string& keyPath,
                                                 const std::string& name) override;
    bool DeleteMachineKey(RegistryView view, const std::string& path) override;
    void Sleep(unsigned) override {}
    bool Confirm(const std::string& text, const std::string& caption) override;
    void Tell(const std::string& text, const std::string& caption, bool error) override;

    using Registry = std::map<std::string, std::map<std::string, std::string>>;  // key path -> values
    Registry& View(RegistryView view) { return view == RegistryView::Programs64 ? m_registry64 : m_registry; }
    Registry m_registry;    // the 32-bit programs' view
    Registry m_registry64;  // the 64-bit programs' view
    // A program killed part-way: after this many changes (a file, folder or key removed, a file
    // replaced), the next change throws Stopped instead of happening. Negative: never.
    struct Stopped {};
    int m_changesBeforeStop = -1;
    bool m_answerYes = true;
    bool m_failReplace = false;
    bool m_failDeleteKey = false;
    std::vector<std::string> m_questions;
    std::vector<std::string> m_messages;
    std::vector<std::string> m_removedFolders;

private:
    static std::string Key(const std::string& path);
    bool HasChildren(const std::string& key) const;
    void BeforeChange();

    std::map<std::string, Node> m_tree;  // by upper-cased path
};

}  // namespace kv::uninstall::testing

// The in-memory System and RunUi of the native tests.
#include "fake_system.h"

#include <algorithm>
#include <cstdlib>

#include "archive/ascii_case.h"

namespace kv::os::testing {

namespace {

class FakeStream : public FileStream {
public:
    FakeStream(FakeSystem& system, std::string key, std::string path)
        : m_system(system), m_key(std::move(key)), m_path(std::move(path)) {}

    std::size_t Read(std::span<std::uint8_t> into) override {
        auto* node = NodeOrNull();
        if (!node || m_pos >= node->bytes.size()) return 0;
        const std::size_t n = std::min(into.size(), node->bytes.size() - m_pos);
        std::copy_n(node->bytes.begin() + static_cast<std::ptrdiff_t>(m_pos), n, into.begin());
        m_pos += n;
        return n;
    }
    std::size_t Write(std::span<const std::uint8_t> bytes) override {
        auto* node = NodeOrNull();
        if (!node) return 0;
        std::size_t n = bytes.size();
        if (m_system.ShouldFail("Write", m_path)) n /= 2;
        if (node->bytes.size() < m_pos + n) node->bytes.resize(m_pos + n);
        std::copy_n(bytes.begin(), n, node->bytes.begin() + static_cast<std::ptrdiff_t>(m_pos));
        m_pos += n;
        return n;
    }
    bool SeekToEnd() override {
        auto* node = NodeOrNull();
        if (!node) return false;
        m_pos = node->bytes.size();
        return true;
    }
    bool Truncate(std::size_t size) override {
        auto* node = NodeOrNull();
        if (!node || m_system.ShouldFail("Truncate", m_path)) return false;
        if (node->bytes.size() > size) node->bytes.resize(size);
        m_pos = node->bytes.size();
        return true;
    }
    bool SetTimes(FileTime time) override {
        m_system.Record("SetTimes " + m_path);
        auto* node = NodeOrNull();
        if (!node || m_closed || m_system.ShouldFail("SetTimes", m_path)) return false;
        node->created = node->accessed = node->written = time;
        return true;
    }
    bool Close() override {
        if (m_closed) return true;
        m_closed = true;
        m_system.Record("Close " + m_path);
        return !m_system.ShouldFail("Close", m_path);
    }

    const std::string& Path() const { return m_path; }
    bool IsClosed() const { return m_closed; }

    FakeSystem::Node* NodeOrNull() {
        auto it = m_system.m_nodes.find(m_key);
        return it == m_system.m_nodes.end() ? nullptr : &it->second;
    }

private:
    FakeSystem& m_system;
    std::string m_key;
    std::string m_path;
    std::size_t m_pos = 0;
    bool m_closed = false;
};

class FakeKey : public RegistryKey {
public:
    FakeKey(FakeSystem& system, std::string path) : m_system(system), m_path(std::move(path)) {}
    bool SetExpandString(const std::string& name, const std::string& value) override {
        return Set("SetExpandString", "REG_EXPAND_SZ", name, value);
    }
    bool SetString(const std::string& name, const std::string& value) override {
        return Set("SetString", "REG_SZ", name, value);
    }
    bool SetDword(const std::string& name, std::uint32_t value) override {
        return Set("SetDword", "REG_DWORD", name, std::to_string(value));
    }

private:
    bool Set(const std::string& call, const char* type, const std::string& name, const std::string& value) {
        m_system.Record(call + " " + name);
        if (m_system.ShouldFail(call, name)) return false;
        m_system.m_registry[m_path][name] = value;
        m_system.m_registryTypes[m_path][name] = type;
        return true;
    }

    FakeSystem& m_system;
    std::string m_path;
};

}  // namespace

FakeSystem::FakeSystem() {
    AddDirectory(m_windowsDirectory);
    AddDirectory(m_desktop);
    AddDirectory(m_programs);
    m_calls.clear();
}

void FakeSystem::FailOn(const std::string& call, const std::string& pathPart, int times) {
    m_rules.push_back({call, pathPart, times});
}

bool FakeSystem::ShouldFail(const std::string& call, const std::string& path) {
    for (auto& rule : m_rules) {
        if (rule.call != call || rule.remaining == 0) continue;
        if (!rule.pathPart.empty() && path.find(rule.pathPart) == std::string::npos) continue;
        if (rule.remaining > 0) --rule.remaining;
        return true;
    }
    return false;
}

std::optional<std::string> FakeSystem::FullPathName(const std::string& path) {
    Record("FullPathName " + path);
    if (ShouldFail("FullPathName", path)) return std::nullopt;
    return Absolute(path);
}

std::string FakeSystem::Absolute(const std::string& path) const {
    const bool drive = path.size() >= 2 && path[1] == ':';
    if (drive && (path.size() == 2 || (path[2] != '\\' && path[2] != '/'))) {
        // Drive-relative: against the current directory when it is on that drive, else the root.
        const std::string rest = path.substr(2);
        if (archive::EqualsIgnoringCase(m_cwd.substr(0, 2), path.substr(0, 2))) {
            if (rest.empty()) return m_cwd;
            return m_cwd.back() == '\\' ? m_cwd + rest : m_cwd + "\\" + rest;
        }
        return path.substr(0, 2) + "\\" + rest;
    }
    if (drive) return path;
    if (!path.empty() && (path[0] == '\\' || path[0] == '/')) return m_cwd.substr(0, 2) + path;
    return m_cwd + "\\" + path;
}

std::string FakeSystem::Key(const std::string& path) const {
    std::string text = path;
    std::replace(text.begin(), text.end(), '/', '\\');
    std::string full;
    if (text.size() >= 2 && text[1] == ':')
        full = Absolute(text);
    else if (!text.empty() && text[0] == '\\')
        full = m_cwd.substr(0, 2) + text;
    else
        full = m_cwd + "\\" + text;
    std::string collapsed;
    for (char c : full)
        if (!(c == '\\' && !collapsed.empty() && collapsed.back() == '\\')) collapsed.push_back(c);
    while (!collapsed.empty() && collapsed.back() == '\\') collapsed.pop_back();
    return archive::LowerAscii(collapsed);
}

std::string FakeSystem::Parent(const std::string& key) const {
    const std::size_t slash = key.rfind('\\');
    return slash == std::string::npos ? std::string() : key.substr(0, slash);
}

FakeSystem::Node* FakeSystem::Find(const std::string& path) {
    auto it = m_nodes.find(Key(path));
    return it == m_nodes.end() ? nullptr : &it->second;
}

void FakeSystem::AddDirectory(const std::string& path) {
    std::string key = Key(path);
    while (key.size() > 2) {
        m_nodes[key].directory = true;
        key = Parent(key);
    }
}

void FakeSystem::AddFile(const std::string& path, const std::vector<std::uint8_t>& bytes, FileTime created) {
    const std::string key = Key(path);
    AddDirectory(Parent(key));
    Node& node = m_nodes[key];
    node = Node{};
    node.bytes = bytes;
    node.created = node.accessed = node.written = created;
}

bool FakeSystem::IsFile(const std::string& path) {
    const Node* node = Find(path);
    return node && !node->directory;
}

std::optional<std::vector<std::uint8_t>> FakeSystem::FileBytes(const std::string& path) {
    const Node* node = Find(path);
    if (!node || node->directory) return std::nullopt;
    return node->bytes;
}

int FakeSystem::CountCalls(const std::string& prefix) const {
    return static_cast<int>(std::count_if(m_calls.begin(), m_calls.end(),
                                          [&](const std::string& call) { return call.rfind(prefix, 0) == 0; }));
}

bool FakeSystem::MakeDirectory(const std::string& path) {
    Record("MakeDirectory " + path);
    if (ShouldFail("MakeDirectory", path)) return false;
    const std::string key = Key(path);
    if (key.size() <= 2 || m_nodes.count(key)) return false;  // a drive, or something already there
    if (!IsDirectory(Parent(key) + "\\")) return false;
    m_nodes[key].directory = true;
    return true;
}

bool FakeSystem::Exists(const std::string& path) {
    const std::string key = Key(path);
    if (key.size() == 2) return std::find(m_drives.begin(), m_drives.end(), key) != m_drives.end();
    return m_nodes.count(key) != 0;
}

bool FakeSystem::IsDirectory(const std::string& path) {
    const std::string key = Key(path);
    if (key.size() == 2) return std::find(m_drives.begin(), m_drives.end(), key) != m_drives.end();
    auto it = m_nodes.find(key);
    return it != m_nodes.end() && it->second.directory;
}

bool FakeSystem::IsLink(const std::string& path) {
    const Node* node = Find(path);
    return node != nullptr && node->link;
}

std::unique_ptr<FileStream> FakeSystem::OpenFile(const std::string& path, OpenMode mode) {
    Record("OpenFile " + path);
    if (ShouldFail("OpenFile", path)) return nullptr;
    const std::string key = Key(path);
    if (!IsDirectory(Parent(key) + "\\")) return nullptr;
    auto it = m_nodes.find(key);
    if (it != m_nodes.end() && (it->second.directory || it->second.locked)) return nullptr;
    if (it != m_nodes.end() && it->second.link && mode == OpenMode::ReadWriteOrCreate) return nullptr;
    if (it == m_nodes.end() || it->second.link) {
        it = m_nodes.insert_or_assign(key, Node{}).first;
        Node& node = m_nodes[key];
        node.created = node.accessed = node.written = m_now;
    } else if (mode != OpenMode::ReadWriteOrCreate) {
        it->second.bytes.clear();
    }
    return std::make_unique<FakeStream>(*this, key, path);
}

bool FakeSystem::RemoveFile(const std::string& path) {
    Record("RemoveFile " + path);
    if (ShouldFail("RemoveFile", path)) return false;
    auto it = m_nodes.find(Key(path));
    if (it == m_nodes.end() || it->second.directory || it->second.locked) return false;
    m_nodes.erase(it);
    return true;
}

bool FakeSystem::RenameFile(const std::string& from, const std::string& to) {
    Record("RenameFile " + from + " -> " + to);
    if (ShouldFail("RenameFile", from)) return false;
    auto it = m_nodes.find(Key(from));
    const std::string toKey = Key(to);
    if (it == m_nodes.end() || m_nodes.count(toKey) || !IsDirectory(Parent(toKey) + "\\")) return false;
    Node node = it->second;
    m_nodes.erase(it);
    m_nodes[toKey] = node;
    return true;
}

bool FakeSystem::CopyFileOver(const std::string& from, const std::string& to, std::uint32_t& error) {
    Record("CopyFileOver " + from + " -> " + to);
    const Node* source = Find(from);
    if (ShouldFail("CopyFileOver", from) || !source || source->directory || !IsDirectory(Parent(Key(to)) + "\\")) {
        error = 32;  // ERROR_SHARING_VIOLATION, as for a destination in use
        return false;
    }
    Node copy = *source;
    copy.created = copy.accessed = m_now;
    m_nodes[Key(to)] = copy;
    return true;
}

std::optional<FileTime> FakeSystem::GetCreationTime(const std::string& path) {
    Record("GetCreationTime " + path);
    if (ShouldFail("GetCreationTime", path)) return std::nullopt;
    const Node* node = Find(path);
    if (!node || node->directory || node->locked) return std::nullopt;
    return node->created;
}

SetTimesResult FakeSystem::SetFileTimes(const std::string& path, FileTime time) {
    Record("SetFileTimes " + path);
    Node* node = Find(path);
    if (ShouldFail("SetFileTimes.Open", path) || !node || node->directory || node->locked)
        return SetTimesResult::OpenFailed;
    if (ShouldFail("SetFileTimes", path)) return SetTimesResult::SetFailed;
    node->created = node->accessed = node->written = time;
    return SetTimesResult::Done;
}

bool FakeSystem::ChangeDirectory(const std::string& path) {
    Record("ChangeDirectory " + path);
    if (ShouldFail("ChangeDirectory", path) || !IsDirectory(path)) return false;
    std::string cwd = path;
    while (cwd.size() > 3 && cwd.back() == '\\') cwd.pop_back();
    m_cwd = cwd;
    return true;
}

std::size_t FakeSystem::ReadProfileString(const std::string& section, const std::string& key, std::string& value,
                                          const std::string& path) {
    Record("ReadProfileString " + path + " [" + section + "] " + key);
    value.clear();
    auto file = m_profiles.find(Key(path));
    if (file == m_profiles.end()) return 0;
    auto sec = file->second.find(section);
    if (sec == file->second.end()) return 0;
    auto entry = sec->second.find(key);
    if (entry == sec->second.end()) return 0;
    value = entry->second;
    return value.size();
}

int FakeSystem::ReadProfileInt(const std::string& section, const std::string& key, int defaultValue,
                               const std::string& path) {
    Record("ReadProfileInt " + path + " [" + section + "] " + key);
    std::string text;
    auto file = m_profiles.find(Key(path));
    if (file == m_profiles.end()) return defaultValue;
    auto sec = file->second.find(section);
    if (sec == file->second.end()) return defaultValue;
    auto entry = sec->second.find(key);
    if (entry == sec->second.end()) return defaultValue;
    return std::atoi(entry->second.c_str());
}

bool FakeSystem::WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                                   const std::string& path) {
    Record("WriteProfileValue " + path + " [" + section + "] " + key + "=" + value);
    if (ShouldFail("WriteProfileValue", path)) return false;
    m_profiles[Key(path)][section][key] = value;
    return true;
}

std::unique_ptr<RegistryKey> FakeSystem::CreateMachineKey(const std::string& path) {
    Record("CreateMachineKey " + path);
    if (ShouldFail("CreateMachineKey", path)) return nullptr;
    m_registry[path];
    return std::make_unique<FakeKey>(*this, path);
}

bool FakeSystem::LzExpandInto(FileStream& source, FileStream& destination) {
    auto& from = static_cast<FakeStream&>(source);
    auto& to = static_cast<FakeStream&>(destination);
    Record("LzExpandInto " + from.Path() + " -> " + to.Path());
    const Node* stored = from.NodeOrNull();
    if (!stored || from.IsClosed() || to.IsClosed()) return false;
    const std::vector<std::uint8_t> bytes = stored->bytes;
    if (ShouldFail("LzExpand", to.Path())) return false;
    // Pass-through, written at the start of the freshly created destination: the fake knows no
    // SZDD; real expansion is tested against the platform's service.
    if (Node* placed = to.NodeOrNull()) placed->bytes = bytes;
    return true;
}

std::optional<std::string> FakeSystem::SpecialFolderPath(SpecialFolder folder) {
    Record(folder == SpecialFolder::Desktop ? "SpecialFolderPath Desktop" : "SpecialFolderPath Programs");
    if (ShouldFail("SpecialFolderPath", folder == SpecialFolder::Desktop ? "Desktop" : "Programs")) return std::nullopt;
    return folder == SpecialFolder::Desktop ? m_desktop : m_programs;
}

bool FakeSystem::SaveShellLink(const std::string& linkPath, const std::string& target, const std::string& description,
                               const std::string& arguments, const std::string& workingDirectory) {
    Record("SaveShellLink " + linkPath);
    if (ShouldFail("SaveShellLink", linkPath)) return false;
    const std::string key = Key(linkPath);
    if (!IsDirectory(Parent(key) + "\\")) return false;
    m_nodes[key] = Node{};
    m_links[key] = Link{target, description, arguments, workingDirectory};
    return true;
}

bool FakeSystem::ShellOpen(const std::string& file, const std::string& parameters,
                           const std::string& workingDirectory) {
    Record("ShellOpen " + file);
    if (ShouldFail("ShellOpen", file)) return false;
    m_starts.push_back({file, parameters, workingDirectory});
    return true;
}

void FakeSystem::Sleep(unsigned milliseconds) { m_sleeps.push_back(milliseconds); }

}  // namespace kv::os::testing

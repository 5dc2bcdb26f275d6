// Listing a [[tree]]'s source folder in a stable order.
#include "tools/kvpack/project_tree.h"

#include <algorithm>

#include "tools/kvpack/system_text.h"

namespace kv::tools {

namespace fs = std::filesystem;

std::vector<TreeFile> ListTreeFiles(const fs::path& top, std::error_code& error) {
    std::vector<TreeFile> files;
    fs::recursive_directory_iterator it(top, error);
    for (const fs::recursive_directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored)) continue;
        TreeFile file;
        file.source = it->path();
        const fs::path relative = it->path().lexically_relative(top);
        for (const fs::path& level : relative.parent_path()) file.levels.push_back(PathToUtf8(level));
        file.name = PathToUtf8(relative.filename());
        files.push_back(std::move(file));
    }
    // A folder's own files come before its subfolders: its level list is a prefix of theirs.
    std::sort(files.begin(), files.end(), [](const TreeFile& a, const TreeFile& b) {
        if (a.levels != b.levels) return a.levels < b.levels;
        return a.name < b.name;
    });
    return files;
}

}  // namespace kv::tools

// A project's [[tree]]: a whole source folder, every file below it one record, with the folders
// between the tree's top and the file as the record's folder.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace kv::tools {

// One file of a tree. Names are UTF-8, as the project file's text is, for the loader to check.
struct TreeFile {
    std::filesystem::path source;
    std::vector<std::string> levels;  // the folders from the tree's top down to the file's own
    std::string name;
};

// Every regular file below `top` (links to files count, links to folders are not followed), in an
// order that depends on the names alone, never on the order the file system lists them: a folder's
// files by name, then its subfolders by name, each the same way. Byte order of the UTF-8 names, so
// the same tree gives the same installer on every machine. `error` is set when `top` cannot be read.
std::vector<TreeFile> ListTreeFiles(const std::filesystem::path& top, std::error_code& error);

}  // namespace kv::tools

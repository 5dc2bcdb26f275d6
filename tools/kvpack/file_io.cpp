// Whole-file reads and writes for kvpack. The streams are opened with the path object itself, which
// on Windows is UTF-16 and goes to the wide open functions, so any name the file system holds works.
#include "tools/kvpack/file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "tools/kvpack/system_text.h"
#include "tools/kvpack/tool_error.h"

namespace kv::tools {

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, const std::string& what) {
    const std::string name = (what.empty() ? "" : what + " ") + PathToUtf8(path);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw ToolError(kExitIoError, name + ": is a folder, not a file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ToolError(kExitIoError, name + ": cannot open: " + std::strerror(errno));
    }
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw ToolError(kExitIoError, name + ": read error");
    return bytes;
}

void WriteFileBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary = path;
    temporary += ".kvpack-tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            throw ToolError(kExitIoError, PathToUtf8(path) + ": cannot create: " + std::strerror(errno));
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw ToolError(kExitIoError, PathToUtf8(path) + ": write error");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw ToolError(kExitIoError, PathToUtf8(path) + ": cannot write: " + ec.message());
    }
}

}  // namespace kv::tools

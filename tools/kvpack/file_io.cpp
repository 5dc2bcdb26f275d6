// Whole-file reads and writes for kvpack. The streams are opened with the path object itself, which
// on Windows is UTF-16 and goes to the wide open functions, so any name the file system holds works.
#include "tools/kvpack/file_io.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <unistd.h>
#endif

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

namespace {

#ifdef _WIN32
using NativeChar = wchar_t;
int OpenNew(const wchar_t* name) {
    // _O_EXCL is CREATE_NEW: it fails on any existing name, a link or junction included.
    return ::_wopen(name, _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return ::_write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int CloseFile(int fd) { return ::_close(fd); }
#else
using NativeChar = char;
int OpenNew(const char* name) {
    // O_EXCL fails on any existing name, a dangling link included; O_NOFOLLOW says so twice.
    return ::open(name, O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666);
}
int WriteSome(int fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<int>(::write(fd, data, std::min<std::size_t>(size, 1u << 30)));
}
int CloseFile(int fd) { return ::close(fd); }
#endif

// A temporary file beside `path` under a random name, created new: a name or link that someone
// prepared in the folder (kvpack may write where others can) is never opened or followed.
int CreateTemporaryBeside(const std::filesystem::path& path, std::filesystem::path& temporary) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".kvpack-%08x.tmp", static_cast<unsigned>(random()));
        temporary = path;
        temporary += suffix;
        const std::basic_string<NativeChar> name = temporary.native();
        const int fd = OpenNew(name.c_str());
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

void WriteFileBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary;
    const int fd = CreateTemporaryBeside(path, temporary);
    if (fd < 0) {
        throw ToolError(kExitIoError, PathToUtf8(path) + ": cannot create: " + std::strerror(errno));
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const int n = WriteSome(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    std::error_code ignored;
    if (CloseFile(fd) != 0 || written != bytes.size()) {
        std::filesystem::remove(temporary, ignored);
        throw ToolError(kExitIoError, PathToUtf8(path) + ": write error");
    }
    // The rename replaces the final name itself; a link standing there is replaced, not followed.
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ignored);
        throw ToolError(kExitIoError, PathToUtf8(path) + ": cannot write: " + ec.message());
    }
}

}  // namespace kv::tools

// An mspack_system whose "file names" point at memory buffers: reads come from a span, writes
// append to a vector, so libmspack's SZDD decoder is timed without any file I/O.
#include "tests/bench/mspack_memory.h"

#include <mspack.h>

#include <cstdlib>
#include <cstring>

namespace kv::bench {

namespace {

// What a "file name" handed to libmspack points at.
struct MemorySpec {
    const std::uint8_t* input = nullptr;
    std::size_t size = 0;
    std::vector<std::uint8_t>* output = nullptr;  // set for the file opened for writing
};

struct MemoryFile {
    const MemorySpec* spec;
    std::size_t pos;
};

mspack_file* Open(mspack_system*, const char* filename, int) {
    auto* file = new MemoryFile{reinterpret_cast<const MemorySpec*>(filename), 0};
    return reinterpret_cast<mspack_file*>(file);
}

void Close(mspack_file* file) { delete reinterpret_cast<MemoryFile*>(file); }

int Read(mspack_file* handle, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    if (bytes < 0) return -1;
    const std::size_t left = file->spec->size - file->pos;
    const std::size_t count = std::min<std::size_t>(left, std::size_t(bytes));
    std::memcpy(buffer, file->spec->input + file->pos, count);
    file->pos += count;
    return int(count);
}

int Write(mspack_file* handle, void* buffer, int bytes) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    if (bytes < 0 || !file->spec->output) return -1;
    const auto* p = static_cast<const std::uint8_t*>(buffer);
    file->spec->output->insert(file->spec->output->end(), p, p + bytes);
    return bytes;
}

int Seek(mspack_file* handle, off_t offset, int mode) {
    auto* file = reinterpret_cast<MemoryFile*>(handle);
    off_t base = 0;
    if (mode == MSPACK_SYS_SEEK_CUR) base = off_t(file->pos);
    if (mode == MSPACK_SYS_SEEK_END) base = off_t(file->spec->size);
    const off_t target = base + offset;
    if (target < 0 || std::size_t(target) > file->spec->size) return -1;
    file->pos = std::size_t(target);
    return 0;
}

off_t Tell(mspack_file* handle) { return off_t(reinterpret_cast<MemoryFile*>(handle)->pos); }
void Message(mspack_file*, const char*, ...) {}
void* Alloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void Free(void* p) { std::free(p); }
void Copy(void* src, void* dst, size_t bytes) { std::memmove(dst, src, bytes); }

}  // namespace

struct MspackSzdd::Impl {
    mspack_system system{Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy, nullptr};
    msszdd_decompressor* decompressor = nullptr;
};

MspackSzdd::MspackSzdd() : m_pImpl(new Impl) {
    m_pImpl->decompressor = mspack_create_szdd_decompressor(&m_pImpl->system);
}

MspackSzdd::~MspackSzdd() {
    if (m_pImpl->decompressor) mspack_destroy_szdd_decompressor(m_pImpl->decompressor);
    delete m_pImpl;
}

bool MspackSzdd::Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!m_pImpl->decompressor) return false;
    MemorySpec input{file.data(), file.size(), nullptr};
    MemorySpec output{nullptr, 0, &out};
    msszdd_decompressor* d = m_pImpl->decompressor;
    msszddd_header* header = d->open(d, reinterpret_cast<const char*>(&input));
    if (!header) return false;
    const int error = d->extract(d, header, reinterpret_cast<const char*>(&output));
    d->close(d, header);
    return error == MSPACK_ERR_OK;
}

}  // namespace kv::bench

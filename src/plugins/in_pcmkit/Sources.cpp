#include "Sources.h"

#include "Module.h"

#include "platform/dynlib.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pcmkit {
namespace {

int no_operation(byte_source*)
{
    return 0;
}

// ---- file source ----------------------------------------------------------

// Reads go through a buffer: decoders ask for a few kilobytes at a time.
constexpr int kFileBuffer = 1 << 16;

struct FileSource : byte_source {
    int fd = -1;
    int64_t bufferStart = 0; // file position of buffer[0]
    int held = 0;            // valid bytes in buffer
    int offset = 0;          // next of them to hand out
    uint8_t buffer[kFileBuffer];
};

int open_local_file(const char* name)
{
    int fd = ::open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int file_open(byte_source* self, const char* name, const abort_flag*)
{
    auto* s = static_cast<FileSource*>(self);
    if (s->fd >= 0)
        ::close(s->fd);
    s->fd = name ? open_local_file(name) : -1;
    s->bufferStart = s->held = s->offset = 0;
    return s->fd >= 0 ? 0 : 1;
}

ssize_t read_some(int fd, void* buffer, size_t count)
{
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    return n;
}

int file_read(byte_source* self, void* buffer, int count, const abort_flag*)
{
    auto* s = static_cast<FileSource*>(self);
    if (s->fd < 0 || count <= 0)
        return 0;
    if (s->offset == s->held) {
        s->bufferStart += s->held;
        s->held = s->offset = 0;
        // Large reads skip the buffer.
        if (count >= kFileBuffer) {
            ssize_t n = read_some(s->fd, buffer, static_cast<size_t>(count));
            if (n > 0)
                s->bufferStart += n;
            return n < 0 ? -1 : static_cast<int>(n);
        }
        ssize_t n = read_some(s->fd, s->buffer, sizeof s->buffer);
        if (n <= 0)
            return n < 0 ? -1 : 0;
        s->held = static_cast<int>(n);
    }
    int n = std::min(count, s->held - s->offset);
    std::memcpy(buffer, s->buffer + s->offset, static_cast<size_t>(n));
    s->offset += n;
    return n;
}

int64_t file_length(byte_source* self)
{
    auto* s = static_cast<FileSource*>(self);
    struct stat st {};
    if (s->fd < 0 || ::fstat(s->fd, &st) != 0)
        return -1;
    return st.st_size;
}

int file_can_seek(byte_source*)
{
    return 1;
}

int file_seek(byte_source* self, int64_t position, const abort_flag*)
{
    auto* s = static_cast<FileSource*>(self);
    if (s->fd < 0 || position < 0)
        return 1;
    // Inside what the buffer holds no system call is needed.
    if (position >= s->bufferStart && position <= s->bufferStart + s->held) {
        s->offset = static_cast<int>(position - s->bufferStart);
        return 0;
    }
    if (::lseek(s->fd, position, SEEK_SET) != position)
        return 1;
    s->bufferStart = position;
    s->held = s->offset = 0;
    return 0;
}

void file_destroy(byte_source* self)
{
    auto* s = static_cast<FileSource*>(self);
    if (s->fd >= 0)
        ::close(s->fd);
    delete s;
}

constexpr byte_source_ops kFileOps = {no_operation,  file_open, file_read,    file_length,
                                      file_can_seek, file_seek, no_operation, file_destroy};

// ---- memory and download sources -----------------------------------------

struct MemorySource : byte_source {
    uint8_t* buffer = nullptr;
    int64_t size = 0;
    int64_t position = 0;
};

int memory_open(byte_source*, const char*, const abort_flag*)
{
    return 0;
}

int memory_read(byte_source* self, void* buffer, int count, const abort_flag*)
{
    auto* s = static_cast<MemorySource*>(self);
    if (count <= 0 || s->position >= s->size)
        return 0;
    int n = static_cast<int>(std::min<int64_t>(count, s->size - s->position));
    std::memcpy(buffer, s->buffer + s->position, static_cast<size_t>(n));
    s->position += n;
    return n;
}

int64_t memory_length(byte_source* self)
{
    return static_cast<MemorySource*>(self)->size;
}

int memory_seek(byte_source* self, int64_t position, const abort_flag*)
{
    if (position < 0)
        return 1;
    static_cast<MemorySource*>(self)->position = position;
    return 0;
}

void memory_destroy(byte_source* self)
{
    auto* s = static_cast<MemorySource*>(self);
    std::free(s->buffer);
    delete s;
}

// Reads a whole local file into a new buffer; false when it cannot.
bool read_whole_file(const char* name, uint8_t** buffer, int64_t* size, bool allowEmpty)
{
    int fd = open_local_file(name);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && (allowEmpty || st.st_size > 0);
    uint8_t* data =
        ok ? static_cast<uint8_t*>(std::malloc(std::max<size_t>(1, static_cast<size_t>(st.st_size)))) : nullptr;
    int64_t done = 0;
    while (data && done < st.st_size) {
        ssize_t n = ::read(fd, data + done, static_cast<size_t>(st.st_size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    if (!data || done != st.st_size) {
        std::free(data);
        return false;
    }
    *buffer = data;
    *size = st.st_size;
    return true;
}

// The host's download function, handed out in answer to the download request.
using download_function = int (*)(HWND window, const char* url, const char* file, const char* caption);

std::string temporary_folder()
{
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir && *dir ? dir : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    return folder;
}

unsigned temporary_counter()
{
    static unsigned counter = GetTickCount();
    return counter++;
}

int download_open(byte_source* self, const char* name, const abort_flag*)
{
    auto* s = static_cast<MemorySource*>(self);
    std::free(s->buffer);
    s->buffer = nullptr;
    s->size = s->position = 0;
    if (!name)
        return 1;
    // A local file whose name only looks like an address is read as it is.
    if (read_whole_file(name, &s->buffer, &s->size, true))
        return 0;
    if (access(name, F_OK) == 0)
        return 1; // there but unreadable (or out of memory)

    LRESULT answer = SendMessage(host_window(), WM_USER, 0, 240);
    if (answer == 0 || answer == 1) {
        if (!boxes_suppressed())
            MessageBox(host_window(), "URLs only supported in Tovarro 2.50+", nullptr, MB_ICONERROR);
        return 1;
    }
    static const std::string folder = temporary_folder();
    char file[4096];
    std::snprintf(file, sizeof file, "%sdm%x.tmp", folder.c_str(), temporary_counter());
    auto fetch = reinterpret_cast<download_function>(answer);
    bool ok =
        fetch(host_window(), name, file, "Retrieving file") == 0 && read_whole_file(file, &s->buffer, &s->size, false);
    ::unlink(file);
    return ok ? 0 : 1;
}

constexpr byte_source_ops kMemoryOps = {no_operation,  memory_open, memory_read,  memory_length,
                                        file_can_seek, memory_seek, no_operation, memory_destroy};
constexpr byte_source_ops kDownloadOps = {no_operation,  download_open, memory_read,  memory_length,
                                          file_can_seek, memory_seek,   no_operation, memory_destroy};

// ---- sub-range source -----------------------------------------------------

struct SubRangeSource : byte_source {
    byte_source* inner;
    int64_t start;
    int64_t size;
    int64_t position;
};

int subrange_read(byte_source* self, void* buffer, int count, const abort_flag* abort)
{
    auto* s = static_cast<SubRangeSource*>(self);
    int64_t left = s->size - s->position;
    if (count <= 0 || left <= 0)
        return 0;
    int n = source_read(s->inner, buffer, static_cast<int>(std::min<int64_t>(count, left)), abort);
    if (n > 0)
        s->position += n;
    return n;
}

int64_t subrange_length(byte_source* self)
{
    return static_cast<SubRangeSource*>(self)->size;
}

int subrange_can_seek(byte_source* self)
{
    return static_cast<SubRangeSource*>(self)->inner->ops->can_seek(static_cast<SubRangeSource*>(self)->inner);
}

int subrange_seek(byte_source* self, int64_t position, const abort_flag* abort)
{
    auto* s = static_cast<SubRangeSource*>(self);
    if (position < 0 || !source_seek(s->inner, s->start + position, abort))
        return 1;
    s->position = position;
    return 0;
}

void subrange_destroy(byte_source* self)
{
    auto* s = static_cast<SubRangeSource*>(self);
    source_destroy(s->inner);
    delete s;
}

constexpr byte_source_ops kSubRangeOps = {no_operation,      memory_open,   subrange_read, subrange_length,
                                          subrange_can_seek, subrange_seek, no_operation,  subrange_destroy};

// ---- network library ------------------------------------------------------

// What the library's readerSource hands back; the plug-in uses two entries.
struct netfetch_interface {
    void* reserved0;
    void* reserved1;
    byte_source* (*create)();
    int (*is_mine)(const char* name);
};
using reader_source_function = void (*)(HMODULE instance, netfetch_interface** api);

HMODULE netfetchLibrary = nullptr;
netfetch_interface* netfetchApi = nullptr;

std::string plugin_folder()
{
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&plugin_folder), &info) || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    return path.substr(0, path.rfind('/') + 1);
}

bool starts_with(const char* name, const char* prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

} // namespace

byte_source* create_file_source()
{
    auto* s = new (std::nothrow) FileSource;
    if (s)
        s->ops = &kFileOps, s->tag = 0;
    return s;
}

byte_source* create_memory_source(uint8_t* buffer, int64_t size)
{
    auto* s = new (std::nothrow) MemorySource;
    if (!s) {
        std::free(buffer);
        return nullptr;
    }
    s->ops = &kMemoryOps;
    s->tag = 0;
    s->buffer = buffer;
    s->size = size;
    return s;
}

byte_source* create_download_source()
{
    auto* s = new (std::nothrow) MemorySource;
    if (s)
        s->ops = &kDownloadOps, s->tag = 0;
    return s;
}

byte_source* create_source_for_name(const char* name)
{
    if (netfetchApi && netfetchApi->is_mine && netfetchApi->create && netfetchApi->is_mine(name)) {
        if (byte_source* s = netfetchApi->create()) {
            s->tag = 0;
            return s;
        }
    }
    if (starts_with(name, "http:") || starts_with(name, "ftp:") || starts_with(name, "https:"))
        return create_download_source();
    return create_file_source();
}

bool load_into_memory(open_context& ctx)
{
    int64_t size = source_length(ctx.source);
    if (size < 0 || size > INT32_MAX)
        return false;
    auto* buffer = static_cast<uint8_t*>(std::malloc(std::max<size_t>(1, static_cast<size_t>(size))));
    if (!buffer)
        return false;
    if (source_read_full(ctx.source, buffer, static_cast<int>(size), ctx.abort) != size || aborted(ctx.abort)) {
        std::free(buffer);
        return false;
    }
    byte_source* memory = create_memory_source(buffer, size);
    if (!memory)
        return false;
    source_destroy(ctx.source);
    ctx.source = memory;
    return true;
}

bool narrow_source(open_context& ctx, int64_t start, int64_t size)
{
    int64_t length = source_length(ctx.source);
    if (start < 0 || size < 0 || length < 0 || length - start < size || !source_seek(ctx.source, start, ctx.abort))
        return false;
    auto* s = new (std::nothrow) SubRangeSource;
    if (!s)
        return false;
    s->ops = &kSubRangeOps;
    s->tag = 0;
    s->inner = ctx.source;
    s->start = start;
    s->size = size;
    s->position = 0;
    ctx.source = s;
    return true;
}

void load_network_library()
{
    if (netfetchLibrary)
        return;
    std::string path = plugin_folder() + "netfetch.so";
    if (access(path.c_str(), F_OK) != 0)
        return;
    HMODULE library = LoadLibrary(path.c_str());
    if (!library)
        return;
    auto readerSource = reinterpret_cast<reader_source_function>(GetProcAddress(library, "readerSource"));
    if (!readerSource) {
        FreeLibrary(library);
        return;
    }
    netfetchLibrary = library;
    readerSource(library, &netfetchApi);
}

void unload_network_library()
{
    if (netfetchLibrary)
        FreeLibrary(netfetchLibrary);
    netfetchLibrary = nullptr;
    netfetchApi = nullptr;
}

} // namespace pcmkit

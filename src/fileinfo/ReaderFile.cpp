#include "ReaderFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileinfo {

namespace {

// pread until count bytes, the end of the file or an error; returns what arrived.
std::size_t ReadFully(int fd, int64_t position, unsigned char* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        ssize_t got = pread(fd, out + done, count - done, static_cast<off_t>(position + static_cast<int64_t>(done)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

} // namespace

int32_t FileSize32(int64_t size)
{
    return static_cast<int32_t>(std::clamp<int64_t>(size, 0, INT32_MAX));
}

ReaderFile::ReaderFile(const std::string& fileName)
{
    // Non-blocking so that opening a FIFO cannot hang; only regular files are read.
    int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        openError_ = errno != 0 ? errno : EIO;
        return;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        openError_ = errno != 0 ? errno : EIO;
        close(fd);
        return;
    }
    if (!S_ISREG(info.st_mode)) {
        openError_ = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        close(fd);
        return;
    }
    fd_ = fd;
    size_ = info.st_size;
}

ReaderFile::~ReaderFile()
{
    if (fd_ >= 0)
        close(fd_);
}

bool ReaderFile::Seek(int64_t position)
{
    if (fd_ < 0 || position < 0)
        return false;
    position_ = position;
    return true;
}

ReaderFile::Window* ReaderFile::windowAt(int64_t position)
{
    for (Window& w : windows_) {
        if (w.start >= 0 && position >= w.start && position < w.start + static_cast<int64_t>(w.length)) {
            w.lastUse = ++useCounter_;
            return &w;
        }
    }
    Window* oldest = &windows_[0];
    for (Window& w : windows_)
        if (w.lastUse < oldest->lastUse)
            oldest = &w;
    Window& w = *oldest;
    // A window near the end ends with the file, so the tag readers' reads there share it.
    int64_t start = position < size_ ? std::clamp<int64_t>(size_ - int64_t(kWindowSize), 0, position) : position;
    w.length = ReadFully(fd_, start, w.bytes.data(), kWindowSize);
    w.start = w.length > 0 ? start : -1;
    w.lastUse = ++useCounter_;
    bool covers = w.length > 0 && position < w.start + static_cast<int64_t>(w.length);
    return covers ? &w : nullptr;
}

std::size_t ReaderFile::Read(void* buffer, std::size_t count)
{
    if (fd_ < 0)
        return 0;
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        std::size_t want = count - done;
        if (want >= kWindowSize) {
            std::size_t got = ReadFully(fd_, position_, out + done, want);
            done += got;
            position_ += static_cast<int64_t>(got);
            break;
        }
        Window* w = windowAt(position_);
        if (w == nullptr)
            break;
        auto offset = static_cast<std::size_t>(position_ - w->start);
        std::size_t take = std::min(want, w->length - offset);
        std::memcpy(out + done, w->bytes.data() + offset, take);
        done += take;
        position_ += static_cast<int64_t>(take);
    }
    return done;
}

bool ReaderFile::ReadU16LE(uint16_t& value)
{
    unsigned char b[2];
    if (!ReadExact(b, sizeof b))
        return false;
    value = LE16(b);
    return true;
}

bool ReaderFile::ReadU32LE(uint32_t& value)
{
    unsigned char b[4];
    if (!ReadExact(b, sizeof b))
        return false;
    value = LE32(b);
    return true;
}

bool ReaderFile::ReadU64LE(uint64_t& value)
{
    uint32_t low, high;
    if (!ReadU32LE(low) || !ReadU32LE(high))
        return false;
    value = uint64_t(high) << 32 | low;
    return true;
}

bool ReaderFile::ReadU32BE(uint32_t& value)
{
    unsigned char b[4];
    if (!ReadExact(b, sizeof b))
        return false;
    value = BE32(b);
    return true;
}

} // namespace fileinfo

// The readers read files by name: each fuzz input becomes the content of one
// in-memory file, opened through /proc/self/fd.
#pragma once

#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace fuzzfile {

inline void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

inline std::string Write(const uint8_t* data, size_t size)
{
    static const int fd = memfd_create("fileinfo-fuzz", MFD_CLOEXEC);
    Check(fd >= 0 && ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
    return "/proc/self/fd/" + std::to_string(fd);
}

// Same value, or both NaN.
inline bool Same(double a, double b)
{
    return a == b || (a != a && b != b);
}

// No text longer than a reader may keep.
inline void CheckSizes(std::initializer_list<const std::string*> texts, std::size_t most)
{
    for (const std::string* text : texts)
        Check(text->size() <= most);
}

} // namespace fuzzfile

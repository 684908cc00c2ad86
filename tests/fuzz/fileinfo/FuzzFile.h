// The readers read files by name: each fuzz input becomes the content of one
// in-memory file that is opened through /proc/self/fd.
#pragma once

#include <cstdint>
#include <cstdlib>
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
    Check(fd >= 0);
    Check(ftruncate(fd, 0) == 0);
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        Check(n > 0);
        done += static_cast<size_t>(n);
    }
    return "/proc/self/fd/" + std::to_string(fd);
}

// Same value, or both NaN.
inline bool Same(double a, double b)
{
    return a == b || (a != a && b != b);
}

} // namespace fuzzfile

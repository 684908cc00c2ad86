#include "atomicfile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

// Read rather than set and restored: umask() would change it for a moment in
// every thread of the process.
mode_t currentUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:"))
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return 022;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable. The new file is in place by then, so a
// folder that cannot be flushed does not turn the write into a failure.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // nothing taken and no error given: give up rather than spin
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode, DiskFlush flush)
{
    struct stat old {};
    const mode_t mode =
        ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : (newFileMode & ~currentUmask() & 07777);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && (flush == DiskFlush::Skip || ::fsync(fd) == 0);
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        errno = error;
        return false;
    }
    if (flush == DiskFlush::Wait)
        syncFolder(folderOf(path));
    return true;
}

} // namespace platform

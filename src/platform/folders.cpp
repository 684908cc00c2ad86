#include "folders.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sched.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex folderMutex; // guards programFolderOverride
std::string programFolderOverride;

std::string withSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

DWORD copyOut(const std::string& text, char* buffer, DWORD size)
{
    if (buffer && size > 0) {
        std::size_t n = std::min<std::size_t>(text.size(), size - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return static_cast<DWORD>(text.size());
}

} // namespace

std::string ProgramPath()
{
    std::string path(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string ProgramFolder()
{
    {
        std::lock_guard lock(folderMutex);
        if (!programFolderOverride.empty())
            return programFolderOverride;
    }
    std::string path = ProgramPath();
    return withSlash(path.substr(0, path.rfind('/')));
}

void SetProgramFolder(const std::string& folder)
{
    std::lock_guard lock(folderMutex);
    programFolderOverride = folder.empty() ? std::string() : withSlash(folder);
}

bool EnsureFolder(const std::string& path)
{
    if (path.empty())
        return false;
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    return IsFolder(path);
}

bool IsFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome)
{
    if (const char* value = std::getenv(variable); value && *value == '/')
        return withSlash(value);
    const char* home = std::getenv("HOME");
    return withSlash(std::string(home && *home ? home : "/tmp") + "/" + fallbackBelowHome);
}

std::string ProgramConfigFolder()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config") + "orvella/";
}

std::string DataFolder()
{
    if (const char* dir = std::getenv("ORVELLA_DATA_DIR"); dir && *dir) {
        EnsureFolder(dir);
        return withSlash(dir);
    }
    std::string program = ProgramFolder();
    if (::access(program.c_str(), W_OK) == 0)
        return program;
    std::string folder = ProgramConfigFolder();
    EnsureFolder(folder);
    return folder;
}

bool LockDataFolder()
{
    static int held = -1; // open, and locked, for the rest of the process
    if (held >= 0)
        return true;
    const std::string path = DataFolder() + "orvella.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A folder without room for the lock cannot take the settings either;
    // saving then reports its own error.
    if (fd < 0)
        return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    held = fd;
    return true;
}

} // namespace platform

DWORD GetProgramPath(char* buffer, DWORD size)
{
    return platform::copyOut(platform::ProgramPath(), buffer, size);
}

DWORD GetDataFolder(char* buffer, DWORD size)
{
    return platform::copyOut(platform::DataFolder(), buffer, size);
}

BOOL SetCurrentThreadPriority(int priority)
{
    if (priority <= THREAD_PRIORITY_IDLE) {
        sched_param param{};
        return sched_setscheduler(0, SCHED_IDLE, &param) == 0 ? TRUE : FALSE;
    }
    int nice;
    switch (priority) {
    case THREAD_PRIORITY_LOWEST:
        nice = 10;
        break;
    case THREAD_PRIORITY_BELOW_NORMAL:
        nice = 5;
        break;
    case THREAD_PRIORITY_NORMAL:
        nice = 0;
        break;
    case THREAD_PRIORITY_ABOVE_NORMAL:
        nice = -5;
        break;
    case THREAD_PRIORITY_HIGHEST:
        nice = -10;
        break;
    default:
        nice = priority > 0 ? -15 : 0;
        break;
    }
    // On Linux a nice value set with the thread id applies to that thread only.
    const id_t thread = static_cast<id_t>(gettid());
    if (setpriority(PRIO_PROCESS, thread, nice) == 0)
        return TRUE;
    // An ordinary user may not lower the nice value below what RLIMIT_NICE
    // allows (often not below the current one): take the best allowed value
    // and go on, but report that the priority asked for was not set.
    rlimit limit{};
    int best = 20 - (getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? int(limit.rlim_cur) : 40);
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, thread);
    if (errno == 0 && now < best)
        best = now;
    if (best > nice && best <= 19)
        setpriority(PRIO_PROCESS, thread, best);
    return FALSE;
}

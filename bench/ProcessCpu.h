// Whole-process figures for the benchmarks that time a program against its
// peers: a scratch folder for generated inputs, the CPU time one run takes and
// the memory a running process holds.
#pragma once

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

// A folder under the temporary folder, made once; ends in "/".
inline std::string ScratchFolder(const std::string& name)
{
    std::string d = (std::filesystem::temp_directory_path() / name).string();
    std::filesystem::create_directories(d);
    return d + "/";
}

// Runs a program with its output to /dev/null; returns the CPU seconds (user +
// system) it used, or a negative value when it failed.
inline double RunCpuSeconds(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return -1;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The resident memory of a running process in MiB; 0 once it has gone.
inline double ResidentMiB(long pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

} // namespace bench

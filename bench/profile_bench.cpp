// Profile files: reading settings, writing a playlist key by key (the PLS
// writer's pattern), and rewriting keys in place.

#include "platform/profile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

std::string scratchFile(const char* name)
{
    static std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvella-bench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data())) + "/";
    }();
    return dir + name;
}

std::string entryPath(int64_t k)
{
    return "/home/user/Music/Artist " + std::to_string(k % 97) + "/Track " + std::to_string(k) + ".mp3";
}

void writePlaylist(const std::string& file, int64_t n)
{
    for (int64_t k = 1; k <= n; ++k)
        WritePrivateProfileString("playlist", ("File" + std::to_string(k)).c_str(), entryPath(k).c_str(), file.c_str());
    WritePrivateProfileString("playlist", "NumberOfEntries", std::to_string(n).c_str(), file.c_str());
}

// A new PLS written key by key: every key is a new one at the end of the file.
void BM_WriteNewPlaylistKeys(benchmark::State& state)
{
    const int64_t n = state.range(0);
    for (auto _ : state) {
        std::string file = scratchFile("new.pls");
        std::filesystem::remove(file);
        writePlaylist(file, n);
    }
    state.SetItemsProcessed(state.iterations() * (n + 1));
}
BENCHMARK(BM_WriteNewPlaylistKeys)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading every entry of a PLS back (the playlist reader's pattern).
void BM_ReadPlaylistKeys(benchmark::State& state)
{
    const int64_t n = state.range(0);
    std::string file = scratchFile("read.pls");
    std::filesystem::remove(file);
    writePlaylist(file, n);
    char buffer[1024];
    for (auto _ : state) {
        int count = GetPrivateProfileInt("playlist", "NumberOfEntries", 0, file.c_str());
        for (int k = 1; k <= count; ++k)
            GetPrivateProfileString("playlist", ("File" + std::to_string(k)).c_str(), "", buffer, sizeof buffer,
                                    file.c_str());
    }
    state.SetItemsProcessed(state.iterations() * (n + 1));
}
BENCHMARK(BM_ReadPlaylistKeys)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// The configuration file's shape: about 60 keys in 7 sections, each rewritten
// in place as at shut-down.
void BM_RewriteSettingsInPlace(benchmark::State& state)
{
    std::string file = scratchFile("confstate.ini");
    const char* sections[] = {"Loaded Plugins", "Plugin First", "Sound Box", "Playlist", "General", "Form State",
                              "Associations"};
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 60; ++i)
            WritePrivateProfileString(sections[i % 7], ("key" + std::to_string(i)).c_str(),
                                      std::to_string(i * (round + 1)).c_str(), file.c_str());
    int64_t value = 0;
    for (auto _ : state) {
        ++value;
        for (int i = 0; i < 60; ++i)
            WritePrivateProfileString(sections[i % 7], ("key" + std::to_string(i)).c_str(),
                                      std::to_string(value).c_str(), file.c_str());
    }
    state.SetItemsProcessed(state.iterations() * 60);
}
BENCHMARK(BM_RewriteSettingsInPlace)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

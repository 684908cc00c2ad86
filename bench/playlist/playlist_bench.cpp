// The playlist window with long lists: restoring a saved playlist into the
// shown window, adding entries through the open-files dialog's path (title
// refresh of files that cannot be opened included), and saving. Listing the
// files of a dropped folder, beside the standard library's walk of the same
// tree as its floor.

#include "playlist/FolderFiles.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::string scratchFolder()
{
    static std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvella-bench-XXXXXX").string();
        return std::string(mkdtemp(pattern.data())) + "/";
    }();
    return dir;
}

std::string entryPath(int64_t k)
{
    return "/home/user/Music/Artist " + std::to_string(k % 97) + "/Track " + std::to_string(k) + ".mp3";
}

playlist::SavedPlaylist makePlaylist(int64_t n)
{
    playlist::SavedPlaylist saved;
    for (int64_t k = 0; k < n; ++k) {
        saved.paths.push_back(entryPath(k));
        saved.captions.push_back(QString("%1. Artist %2 - Track %1").arg(k + 1).arg(k % 97));
        saved.times.push_back(QString("%1:%2").arg(k % 60, 2, 10, QChar('0')).arg(k % 59, 2, 10, QChar('0')));
    }
    return saved;
}

void settle(QWidget& w)
{
    QApplication::processEvents();
    w.repaint();
}

void BM_RestoreSavedPlaylist(benchmark::State& state)
{
    const std::string folder = scratchFolder() + "restore/";
    playlist::WriteSavedPlaylist(folder, makePlaylist(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        playlist::Tplayl window;
        window.show();
        settle(window);
        state.ResumeTiming();
        window.RestoreSavedPlaylist(folder);
        settle(window);
        benchmark::DoNotOptimize(window.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RestoreSavedPlaylist)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_AddFiles(benchmark::State& state)
{
    QStringList files;
    for (int64_t k = 0; k < state.range(0); ++k)
        files << QString::fromStdString(entryPath(k));
    for (auto _ : state) {
        state.PauseTiming();
        playlist::Tplayl window;
        window.show();
        settle(window);
        window.OpenDialog1.Files = files;
        state.ResumeTiming();
        window.addaction1();
        settle(window);
        benchmark::DoNotOptimize(window.Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddFiles)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_SaveSavedPlaylist(benchmark::State& state)
{
    const std::string folder = scratchFolder() + "save/";
    playlist::WriteSavedPlaylist(folder, makePlaylist(state.range(0)));
    playlist::Tplayl window;
    window.RestoreSavedPlaylist(folder);
    for (auto _ : state)
        window.SaveSavedPlaylist(folder);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveSavedPlaylist)->Arg(100000)->Unit(benchmark::kMillisecond);

// A library of n files in 97 artist folders, with a cover in each folder.
std::string libraryFolder(int64_t n)
{
    const std::string folder = scratchFolder() + "library-" + std::to_string(n) + "/";
    if (std::filesystem::exists(folder))
        return folder;
    for (int64_t k = 0; k < n; ++k) {
        const std::string path = folder + entryPath(k).substr(std::string("/home/user/Music/").size());
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path).put('x');
    }
    for (int artist = 0; artist < 97; ++artist)
        std::ofstream(folder + "Artist " + std::to_string(artist) + "/cover.jpg").put('x');
    return folder;
}

void BM_FolderFiles(benchmark::State& state)
{
    const std::string folder = libraryFolder(state.range(0));
    const QStringList patterns{"*.wav;*.mp3;*.ogg;*.wma;", "*.flac;*.opus;*.m4a;"};
    for (auto _ : state)
        benchmark::DoNotOptimize(playlist::PlayableFilesIn(folder, patterns).size());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FolderFiles)->Arg(20000)->Unit(benchmark::kMillisecond);

// The floor: the standard library's walk of the same tree, the names matched
// and sorted as bytes.
void BM_FolderFilesFloor(benchmark::State& state)
{
    const std::string folder = libraryFolder(state.range(0));
    for (auto _ : state) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().extension() == ".mp3")
                names.push_back(entry.path().string());
        std::sort(names.begin(), names.end());
        benchmark::DoNotOptimize(names.size());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FolderFilesFloor)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("ORVELLA_DATA_DIR", scratchFolder().c_str(), 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(scratchFolder());
    return 0;
}

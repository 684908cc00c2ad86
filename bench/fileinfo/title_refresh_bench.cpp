// The playlist's title refresh over 10,000 files (tagged MP3, Ogg Vorbis, WAV
// and unknown files, warm cache, one thread): the readers are tried in the
// refresh's order until one recognises the file, and that reader's duration is
// taken. The same files read by TagLib for title, artist and length, and a
// floor that only opens each file, reads 4 KiB at each end and closes it.

#include "fileinfo/MPEGaudio.h"
#include "fileinfo/Monkeyinf.h"
#include "fileinfo/OggVorbisinf.h"
#include "fileinfo/ReaderFile.h"
#include "fileinfo/TwinVQ.h"
#include "fileinfo/WAVfileinf.h"
#include "fileinfo/WMAfile.h"

#include <benchmark/benchmark.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fileinfo;
using namespace std::string_literals;

namespace {

constexpr int kFiles = 10000;

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWhole(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string BigEndian32(uint32_t v, bool syncsafe)
{
    int shift = syncsafe ? 7 : 8;
    std::string out(4, '\0');
    for (int i = 3; i >= 0; --i, v >>= shift)
        out[static_cast<std::size_t>(i)] = static_cast<char>(v & (syncsafe ? 0x7F : 0xFF));
    return out;
}

// An ID3v2.3 tag with four text frames and 512 bytes of padding, as taggers leave them.
std::string Id3v2(const std::string& title, const std::string& artist, const std::string& album, int track)
{
    std::string frames;
    for (auto [id, text] : {std::pair<const char*, std::string>{"TIT2", title},
                            {"TPE1", artist},
                            {"TALB", album},
                            {"TRCK", std::to_string(track) + "/20"}})
        frames += id + BigEndian32(static_cast<uint32_t>(text.size() + 1), false) + std::string(3, '\0') + text;
    frames += std::string(512, '\0');
    return "ID3\3\0\0"s + BigEndian32(static_cast<uint32_t>(frames.size()), true) + frames;
}

std::string Id3v1(const std::string& title, const std::string& artist)
{
    auto slot = [](std::string s, std::size_t n) {
        return s.substr(0, n) + std::string(n - std::min(n, s.size()), '\0');
    };
    return "TAG" + slot(title, 30) + slot(artist, 30) + slot("Album", 30) + "2001" + slot("", 28) + '\0' + '\5' +
           '\x11';
}

struct Corpus {
    std::string folder;
    std::vector<std::string> files;
    ~Corpus() { std::filesystem::remove_all(folder); }
};

// 40 % tagged MP3, 25 % Ogg Vorbis, 20 % WAV, 15 % files no reader knows, made from the test fixtures.
const Corpus& Files()
{
    static Corpus corpus = [] {
        Corpus c;
        std::string pattern = (std::filesystem::temp_directory_path() / "orvella-titles-XXXXXX").string();
        c.folder = std::string(mkdtemp(pattern.data())) + "/";
        const std::string data = std::string(ORVELLA_TEST_DATA_DIR) + "fileinfo/";
        std::string mp3 = ReadWhole(data + "lame_vbr.mp3").substr(1092); // the audio without its tag
        std::string ogg = ReadWhole(data + "vorbis_comments.ogg");
        std::string wav = ReadWhole(data + "pcm_u8_mono.wav");
        std::mt19937 random(2024);
        for (int i = 0; i < kFiles; ++i) {
            int kind = i % 20;
            std::string name = c.folder + "track" + std::to_string(i);
            if (kind < 8) {
                std::string title = "title number " + std::to_string(i), artist = "artist " + std::to_string(i % 97);
                name += ".mp3";
                WriteWhole(name, Id3v2(title, artist, "album", i % 20 + 1) + mp3 + Id3v1(title, artist));
            } else if (kind < 13) {
                WriteWhole(name += ".ogg", ogg);
            } else if (kind < 17) {
                WriteWhole(name += ".wav", wav);
            } else {
                std::string bytes(8192, '\0');
                for (char& b : bytes)
                    b = static_cast<char>(random());
                WriteWhole(name += ".dat", bytes);
            }
            c.files.push_back(name);
        }
        return c;
    }();
    return corpus;
}

struct Readers {
    TMPEGaudio mpeg;
    TWMAfile wma;
    OggVorbisinf::TOggVorbis ogg;
    TMonkey monkey;
    WAVfileinf::TWAVfile wav;
    TTwinVQ vqf;
};

struct Identity {
    std::string title, artist;
    double seconds = 0;
};

// The refresh's order and acceptance rules; `read` reads one reader.
template <typename ReadWith> Identity Probe(Readers& r, ReadWith read)
{
    Identity id;
    enum { None, Mpeg, Wma, Vorbis, Monkey, Wav, TwinVQ } kind = None;
    bool recognised = false;
    read(r.mpeg);
    if (r.mpeg.IsPlausible()) {
        kind = Mpeg;
        if (r.mpeg.Id3v2Tag().TagFound())
            id = {r.mpeg.Id3v2Tag().Title(), r.mpeg.Id3v2Tag().Artist()};
        else if (r.mpeg.Id3v1Tag().TagFound())
            id = {r.mpeg.Id3v1Tag().Title(), r.mpeg.Id3v1Tag().Artist()};
        recognised = r.mpeg.Id3v2Tag().TagFound() || r.mpeg.Id3v1Tag().TagFound();
    }
    if (!recognised && read(r.wma) && r.wma.Recognised()) {
        kind = Wma;
        id = {r.wma.Title(), r.wma.Artist()};
        recognised = true;
    }
    if (!recognised && read(r.ogg) && r.ogg.Recognised()) {
        kind = Vorbis;
        recognised = !r.ogg.IsDamaged();
        id = recognised ? Identity{r.ogg.Title(), r.ogg.Artist()} : Identity{"", "file name"};
    }
    if (!recognised && read(r.monkey) && r.monkey.IsPlausible()) {
        kind = Monkey;
        recognised = r.monkey.Id3v1Tag().TagFound();
        if (recognised)
            id = {r.monkey.Id3v1Tag().Title(), r.monkey.Id3v1Tag().Artist()};
    }
    if (!recognised && read(r.wav) && r.wav.Recognised()) {
        kind = Wav;
        id = {"", "file name"};
        recognised = true;
    }
    if (!recognised && read(r.vqf) && r.vqf.Recognised()) {
        kind = TwinVQ;
        recognised = !r.vqf.IsDamaged();
        id = recognised ? Identity{r.vqf.Title(), r.vqf.Author()} : Identity{"", "file name"};
    }
    switch (kind) {
    case Mpeg:
        id.seconds = r.mpeg.DurationSeconds();
        break;
    case Wma:
        id.seconds = r.wma.DurationSeconds();
        break;
    case Vorbis:
        id.seconds = r.ogg.DurationSeconds();
        break;
    case Monkey:
        id.seconds = r.monkey.DurationSeconds();
        break;
    case Wav:
        id.seconds = r.wav.DurationSeconds();
        break;
    case TwinVQ:
        id.seconds = r.vqf.DurationSeconds();
        break;
    case None:
        break;
    }
    return id;
}

std::map<std::string, double> rates; // files per CPU second of each benchmark's last run

// The process's CPU time, system calls included; the machine may be shared, so wall time says less.
double CpuSeconds()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

// Runs `one` over every file per iteration and reports files per second.
template <typename PerFile> void OverAllFiles(benchmark::State& state, const char* name, PerFile one)
{
    const Corpus& corpus = Files();
    for (const std::string& file : corpus.files) // warm the page cache
        one(file);
    double start = CpuSeconds();
    for (auto _ : state)
        for (const std::string& file : corpus.files)
            one(file);
    double files = double(state.iterations()) * corpus.files.size();
    state.counters["files/s"] = benchmark::Counter(files, benchmark::Counter::kIsRate);
    rates[name] = files / (CpuSeconds() - start);
}

void BM_TitleRefreshReadersByName(benchmark::State& state)
{
    Readers readers;
    OverAllFiles(state, "readers by name", [&](const std::string& path) {
        benchmark::DoNotOptimize(Probe(readers, [&](auto& reader) { return reader.Read(path); }));
    });
}
BENCHMARK(BM_TitleRefreshReadersByName)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_TitleRefreshOneOpening(benchmark::State& state)
{
    Readers readers;
    OverAllFiles(state, "readers, one opening", [&](const std::string& path) {
        ReaderFile file(path);
        benchmark::DoNotOptimize(Probe(readers, [&](auto& reader) { return reader.Read(file); }));
    });
}
BENCHMARK(BM_TitleRefreshOneOpening)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_TagLib(benchmark::State& state)
{
    OverAllFiles(state, "TagLib", [](const std::string& path) {
        TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
        Identity id;
        if (!ref.isNull() && ref.tag() != nullptr)
            id = {ref.tag()->title().to8Bit(true), ref.tag()->artist().to8Bit(true)};
        if (!ref.isNull() && ref.audioProperties() != nullptr)
            id.seconds = ref.audioProperties()->lengthInMilliseconds() / 1000.0;
        benchmark::DoNotOptimize(id);
    });
}
BENCHMARK(BM_TagLib)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_Floor(benchmark::State& state)
{
    OverAllFiles(state, "floor", [](const std::string& path) {
        char head[4096], tail[4096];
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info;
        if (fd < 0 || fstat(fd, &info) != 0)
            std::abort();
        benchmark::DoNotOptimize(pread(fd, head, sizeof head, 0));
        benchmark::DoNotOptimize(pread(fd, tail, sizeof tail, std::max<off_t>(0, info.st_size - 4096)));
        close(fd);
    });
}
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond)->MinTime(2);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rates.count("TagLib") && rates.count("floor")) {
        for (const char* name : {"readers by name", "readers, one opening"}) {
            if (!rates.count(name))
                continue;
            std::printf("%-22s %9.0f files/s: %.2f x TagLib (%.0f files/s), %.2f x the floor (%.0f files/s)\n", name,
                        rates[name], rates[name] / rates["TagLib"], rates["TagLib"], rates[name] / rates["floor"],
                        rates["floor"]);
        }
    }
    return 0;
}

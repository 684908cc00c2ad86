#include "TodaysFiles.h"

#include "TempDir.h"

#include <QByteArray>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <iostream>

namespace testsupport {

namespace {

const std::string kEmojiTitle = "Happy \xF0\x9F\x98\x80 Birthday To You";

// ffmpeg's generators, quiet and overwriting.
QStringList Ffmpeg(const QString& source, double seconds)
{
    return {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-t", QString::number(seconds), "-i", source};
}

// Starts a tool (standardOutput: a file for what it writes there, or empty);
// -1 when it could not start. Not by QProcess, for ThreadSanitizer's sake
// (see MakeTone).
pid_t Start(const QString& program, const QStringList& args, const QString& standardOutput)
{
    std::vector<std::string> words = {program.toStdString()};
    for (const QString& arg : args)
        words.push_back(arg.toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray output = standardOutput.toLocal8Bit();
    if (!output.isEmpty())
        posix_spawn_file_actions_addopen(&actions, 1, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A METADATA_BLOCK_PICTURE value: a front cover of the given size, base64-coded (a third more).
QString CoverPicture(int bytes)
{
    QByteArray picture(bytes, '\0');
    for (int i = 0; i < picture.size(); ++i)
        picture[i] = char(i * 131 + i / 7);
    auto be32 = [](uint32_t v) {
        const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
        return QByteArray(bytes, 4);
    };
    const QByteArray mime = "image/jpeg";
    QByteArray block = be32(3) + be32(uint32_t(mime.size())) + mime + be32(0) + be32(500) + be32(500) + be32(24) +
                       be32(0) + be32(uint32_t(picture.size())) + picture;
    return QString::fromLatin1(block.toBase64());
}

// The APEv2 tag that ends a file, its header included.
std::string ApeTagOf(const std::string& bytes)
{
    if (bytes.size() < 32)
        return {};
    auto le32 = [&](std::size_t at) {
        auto b = [&](std::size_t k) { return uint32_t(static_cast<unsigned char>(bytes[at + k])); };
        return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
    };
    const std::size_t footer = bytes.size() - 32;
    std::size_t size = le32(footer + 12) + ((le32(footer + 20) & 0x80000000u) ? 32 : 0);
    return bytes.substr(bytes.size() - std::min(size, bytes.size()));
}

// A 16-bit mono 8 kHz header for the given length, and no samples written: the file is sparse.
bool MakeSparseWav(const std::string& path, double seconds)
{
    const auto data = uint32_t(seconds * 8000 * 2);
    std::string header = "RIFF";
    auto le = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            header += char(v >> (8 * i));
    };
    le(36 + data, 4);
    header += "WAVEfmt ";
    le(16, 4), le(1, 2), le(1, 2), le(8000, 4), le(16000, 4), le(2, 2), le(16, 2);
    header += "data";
    le(data, 4);
    WriteFile(path, header);
    std::error_code error;
    std::filesystem::resize_file(path, header.size() + data, error);
    return !error;
}

} // namespace

const std::vector<TodaysFile>& TodaysFiles()
{
    static const std::vector<TodaysFile> files = {
        {"cbr_32k_10min.mp3", 600, 0.1, 22050, 32, 1, "", "", "10:00"},
        {"vbr_no_xing.mp3", 300, 6, 22050, 0, 2, "", "", "05:00"},
        {"layer2_24k.mp3", 3, 0.05, 24000, 64, 1, "", "", "00:03"},
        {"hour.mp3", 3725, 0.3, 8000, 8, 1, "", "", "1:02:05"},
        {"hires_96k.wav", 1, 0.001, 96000, 4608, 1, "", "", "00:01"},
        {"hires_96k.ogg", 3, 0.01, 96000, 0, 1, "", "", "00:03"},
        {"piped.wav", 2, 0.01, 8000, 128, 1, "", "", "00:02"},
        {"cover.ogg", 2, 0.01, 22050, 0, 1, kEmojiTitle, "Cover Artist", "00:02"},
        {"big_cover.ogg", 2, 0.01, 22050, 0, 1, "Big Cover Title", "Big Cover Artist", "00:02"},
        {"emoji_ape.mp3", 2, 0.1, 22050, 32, 1, kEmojiTitle, "Emoji Artist", "00:02"},
        {"wma_320k.wma", 3, 0.05, 44100, 320, 1, "Loud Title", "", "00:03"},
        {"long.wav", 15000, 0.001, 8000, 128, 1, "", "", "4:10:00"},
    };
    return files;
}

bool MakeTodaysFiles(const std::string& folder)
{
    const QString dir = QString::fromStdString(folder);
    const QString sine22 = "sine=frequency=440:sample_rate=22050";
    struct Job {
        QString program;
        QStringList args;
        QString standardOutput = {};
    };
    const std::vector<Job> jobs = {
        {"ffmpeg", Ffmpeg(sine22, 600) + QStringList{"-c:a", "libmp3lame", "-b:a", "32k", dir + "cbr_32k_10min.mp3"}},
        // Pink noise, quiet for ten seconds of every minute: the rate of the frames swings.
        {"ffmpeg", Ffmpeg("anoisesrc=c=pink:r=22050:a=0.3:seed=7", 300) +
                       QStringList{"-af", "volume='if(lt(mod(t,60),10),0.02,1)':eval=frame", "-c:a", "libmp3lame",
                                   "-q:a", "4", "-write_xing", "0", dir + "vbr_no_xing.mp3"}},
        {"ffmpeg", Ffmpeg("sine=frequency=440:sample_rate=24000", 3) +
                       QStringList{"-c:a", "mp2", "-b:a", "64k", "-f", "mp2", dir + "layer2_24k.mp3"}},
        {"ffmpeg",
         Ffmpeg("anullsrc=r=8000:cl=mono", 3725) + QStringList{"-c:a", "libmp3lame", "-b:a", "8k", dir + "hour.mp3"}},
        {"sox", {"-n", "-r", "96000", "-c", "2", "-b", "24", dir + "hires_96k.wav", "synth", "1", "sine", "440"}},
        {"ffmpeg", Ffmpeg("sine=frequency=440:sample_rate=96000", 3) +
                       QStringList{"-c:a", "libvorbis", "-q:a", "0", dir + "hires_96k.ogg"}},
        {"ffmpeg", Ffmpeg("sine=frequency=440:sample_rate=8000", 2) + QStringList{"-f", "wav", "-"}, dir + "piped.wav"},
        {"ffmpeg", Ffmpeg(sine22, 2) + QStringList{"-c:a", "libvorbis", "-metadata",
                                                   "METADATA_BLOCK_PICTURE=" + CoverPicture(36000), "-metadata",
                                                   "title=" + QString::fromStdString(kEmojiTitle), "-metadata",
                                                   "artist=Cover Artist", dir + "cover.ogg"}},
        {"ffmpeg", Ffmpeg(sine22, 2) + QStringList{"-c:a", "libvorbis", "-metadata",
                                                   "METADATA_BLOCK_PICTURE=" + CoverPicture(72000), "-metadata",
                                                   "title=Big Cover Title", "-metadata", "artist=Big Cover Artist",
                                                   dir + "big_cover.ogg"}},
        {"ffmpeg", Ffmpeg(sine22, 2) +
                       QStringList{"-c:a", "libmp3lame", "-b:a", "32k", "-id3v2_version", "0", dir + "emoji_ape.mp3"}},
        {"ffmpeg",
         Ffmpeg(sine22, 1) + QStringList{"-c:a", "wavpack", "-metadata", "title=" + QString::fromStdString(kEmojiTitle),
                                         "-metadata", "artist=Emoji Artist", dir + "emoji.wv"}},
        {"ffmpeg", Ffmpeg("sine=frequency=440:sample_rate=44100", 3) +
                       QStringList{"-ac", "2", "-c:a", "wmav2", "-b:a", "320k", "-metadata", "title=Loud Title",
                                   dir + "wma_320k.wma"}},
    };
    // The tools run side by side; most of their time is waiting for the machine.
    std::vector<pid_t> running;
    for (const Job& job : jobs)
        running.push_back(Start(job.program, job.args, job.standardOutput));
    bool made = true;
    for (std::size_t i = 0; i < running.size(); ++i) {
        int status = 0;
        if (running[i] < 0 || ::waitpid(running[i], &status, 0) != running[i] || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            std::cerr << jobs[i].program.toStdString() << " " << jobs[i].args.join(' ').left(300).toStdString()
                      << " failed\n";
            made = false;
        }
    }
    if (!made)
        return false;
    const std::string tag = ApeTagOf(ReadFile(folder + "emoji.wv"));
    WriteFile(folder + "emoji_ape.mp3", ReadFile(folder + "emoji_ape.mp3") + tag);
    std::filesystem::remove(folder + "emoji.wv");
    return !tag.empty() && MakeSparseWav(folder + "long.wav", 15000);
}

} // namespace testsupport

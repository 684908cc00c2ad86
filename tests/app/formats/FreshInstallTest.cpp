// Every format the shipped decoders claim plays on a fresh install with no
// user action: the plug-ins in Plugins/ are loaded because no settings exist
// yet, each file sounds as its tone for as long as it lasts, and the playlist
// names and times it from its tags or its decoder. (A private session bus keeps
// the program's media control service away from the user's desktop.)
//
// One row per file; a new decoder adds its formats as rows. (MIDI is heard
// through the player in the MIDI tests: its synthesizer's release tail does not
// end in the exact silence these rows are cut at.)

#include "bass/EngineHarness.h"

#include "playlist/SavedPlaylist.h"
#include "support/ProgramEnvironment.h"
#include "support/TempDir.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct FormatRow {
    const char* file;    // in the music folder
    QStringList make;    // the encoder's command; "{}" is the file
    double hz;           // the tone
    double seconds;      // its length
    int rate;            // the file's sample rate
    int blockFrames;     // the decoder's output block, in frames of the file
    const char* caption; // the playlist caption after its number
    const char* time;    // the playlist time
};

QStringList Sox(const char* rate, const char* channels, const char* bits, const char* seconds, const char* hz)
{
    return {"sox", "-n", "-r", rate, "-c", channels, "-b", bits, "{}", "synth", seconds, "sine", hz, "vol", "0.5"};
}

// A tagged tone by one of ffmpeg's encoders.
QStringList Ffmpeg(const char* codec, const char* rate, const char* seconds, const char* hz, const char* title)
{
    return {"ffmpeg",    "-v",
            "error",     "-y",
            "-f",        "lavfi",
            "-i",        QString("sine=frequency=%1:sample_rate=%2:duration=%3").arg(hz, rate, seconds),
            "-af",       "volume=0.5",
            "-c:a",      codec,
            "-metadata", "artist=Tone Band",
            "-metadata", QString("title=%1").arg(title),
            "{}"};
}

const std::vector<FormatRow>& Rows()
{
    // Lossy encoders pad their first and last frames: their lengths are held to
    // one codec frame (2048 samples) instead of one output block.
    static const std::vector<FormatRow> rows = {
        {"Low Tone.aiff", Sox("44100", "2", "16", "1.2", "440"), 440, 1.2, 44100, 576, "Low Tone", "00:01"},
        {"Middle Tone.au", Sox("22050", "1", "16", "2.0", "660"), 660, 2.0, 22050, 576, "Middle Tone", "00:02"},
        {"High Tone.voc", Sox("11025", "1", "16", "1.6", "880"), 880, 1.6, 11025, 576, "High Tone", "00:02"},
        {"lossless.flac", Ffmpeg("flac", "44100", "1.4", "550", "Flac Song"), 550, 1.4, 44100, 576,
         "Tone Band - Flac Song", "00:01"},
        {"speech.opus", Ffmpeg("libopus", "48000", "1.8", "770", "Opus Song"), 770, 1.8, 48000, 2048,
         "Tone Band - Opus Song", "00:02"},
        {"bought.m4a", Ffmpeg("aac", "44100", "1.3", "990", "Aac Song"), 990, 1.3, 44100, 2048, "Tone Band - Aac Song",
         "00:01"},
        {"packed.wv", Ffmpeg("wavpack", "44100", "1.1", "330", "Wavpack Song"), 330, 1.1, 44100, 576,
         "Tone Band - Wavpack Song", "00:01"},
    };
    return rows;
}

constexpr int kCaptureRate = 44100;

// Stretches of sound separated by at least 20 ms of exact silence.
std::vector<std::pair<long, long>> SoundRuns(const enginetest::Samples& stereo)
{
    const long gap = kCaptureRate / 50;
    std::vector<std::pair<long, long>> runs;
    long start = -1, lastSound = -1;
    const long frames = long(stereo.size() / 2);
    for (long i = 0; i < frames; ++i) {
        if (stereo[std::size_t(i) * 2] == 0 && stereo[std::size_t(i) * 2 + 1] == 0)
            continue;
        if (start >= 0 && i - lastSound > gap) {
            runs.emplace_back(start, lastSound + 1);
            start = -1;
        }
        if (start < 0)
            start = i;
        lastSound = i;
    }
    if (start >= 0)
        runs.emplace_back(start, lastSound + 1);
    return runs;
}

// The capture as far as it is written; its header is completed only at the end.
enginetest::Samples HeardSoFar(const std::string& path)
{
    const std::string bytes = testsupport::ReadFile(path);
    enginetest::Samples stereo(bytes.size() > 44 ? (bytes.size() - 44) / 4 * 2 : 0);
    if (!stereo.empty())
        std::memcpy(stereo.data(), bytes.data() + 44, stereo.size() * 2);
    return stereo;
}

} // namespace

TEST(FreshInstall, EveryClaimedFormatPlaysThroughAndIsTitled)
{
    testsupport::TempDir home;
    QStringList files;
    double totalSeconds = 0;
    for (const FormatRow& row : Rows()) {
        const QString file = QString::fromStdString(home.file(row.file));
        QStringList make = row.make;
        make.replaceInStrings("{}", file);
        QProcess encoder;
        encoder.start(make.takeFirst(), make);
        ASSERT_TRUE(encoder.waitForFinished(30000) && encoder.exitCode() == 0)
            << row.file << ": " << encoder.readAllStandardError().toStdString();
        files << file;
        totalSeconds += row.seconds;
    }

    // No confstate.ini: a first start. Files named on the command line play at
    // once, and the list runs to its end (Repeat is off): then every tone has
    // been heard, and the engine at rest writes nothing more.
    QProcessEnvironment env = testsupport::ProgramEnvironment(home.path());
    env.insert("ORVELLA_AUDIO", QString::fromStdString("wav:" + home.file("heard.wav")));
    QProcess program;
    program.setProcessEnvironment(env);
    program.start(QString(ORVELLA_PROGRAM_DIR) + "orvella", QStringList{"-platform", "offscreen"} + files);
    std::size_t heardBefore = 0;
    QElapsedTimer unchanged;
    unchanged.start();
    const bool ended = QTest::qWaitFor(
        [&] {
            const enginetest::Samples heard = HeardSoFar(home.file("heard.wav"));
            if (heard.size() != heardBefore) {
                heardBefore = heard.size();
                unchanged.restart();
            }
            return SoundRuns(heard).size() >= Rows().size() && unchanged.elapsed() > 1000;
        },
        int(totalSeconds * 1000) + 30'000);
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(10'000));
    EXPECT_EQ(program.exitCode(), 0);
    ASSERT_TRUE(ended) << "still playing long after the last file should have ended";
    EXPECT_FALSE(testsupport::FileExists(home.file("boxes.jsonl"))) << testsupport::ReadFile(home.file("boxes.jsonl"));

    const enginetest::Samples heard = enginetest::ReadCapture(home.file("heard.wav"));
    const std::vector<std::pair<long, long>> runs = SoundRuns(heard);
    ASSERT_EQ(runs.size(), Rows().size()) << "one tone per file";
    const playlist::SavedPlaylist saved = playlist::ReadSavedPlaylist(home.file("data/Playlist/"));
    ASSERT_EQ(saved.captions.size(), Rows().size());
    for (std::size_t k = 0; k < Rows().size(); ++k) {
        const FormatRow& row = Rows()[k];
        const auto [first, last] = runs[k];
        const double block = double(row.blockFrames) * kCaptureRate / row.rate;
        EXPECT_NEAR(double(last - first), row.seconds * kCaptureRate, block) << row.file;
        EXPECT_NEAR(enginetest::ZeroCrossingHz(heard, 0, first + 100, last - 100), row.hz, row.hz * 0.005) << row.file;
        EXPECT_TRUE(saved.captions[k].endsWith(QString::fromUtf8(row.caption)))
            << row.file << ": " << saved.captions[k].toStdString();
        EXPECT_EQ(saved.times[k], row.time) << row.file;
    }
}

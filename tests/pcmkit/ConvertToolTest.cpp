// pcmkit-convert: a host for the built plug-in that writes what it plays.

#include "support/TempDir.h"

#include <QProcess>
#include <gtest/gtest.h>

using testsupport::TestData;

namespace {

const QString kTool = QString(ORVELLA_TOOLS_DIR) + "pcmkit-convert";
const std::string kIni = std::string(ORVELLA_TOOLS_DIR) + "pcmkit-convert.ini";

struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

Result Convert(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(kTool, args);
    Result r;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit)
        r.exitCode = process.exitCode();
    r.out = process.readAllStandardOutput().toStdString();
    r.err = process.readAllStandardError().toStdString();
    return r;
}

uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

// The tool keeps its settings in its ini file; every test starts and ends without one.
class ConvertTool : public ::testing::Test {
  protected:
    void SetUp() override { std::remove(kIni.c_str()); }
    void TearDown() override { std::remove(kIni.c_str()); }
    testsupport::TempDir dir;
};

} // namespace

TEST_F(ConvertTool, WritesWhatThePluginPlaysAndPrintsItsFormat)
{
    const std::string out = dir.file("out.wav");
    Result r = Convert({QString::fromStdString(TestData("pcmkit/pcm16-stereo.wav")), QString::fromStdString(out)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "PCM, 22050 Hz, 2 channel(s), 16 bits per sample, 5512 frames\n");
    const std::string wav = testsupport::ReadFile(out);
    const std::string source = testsupport::ReadFile(TestData("pcmkit/pcm16-stereo.wav"));
    ASSERT_EQ(wav.size(), 44u + 5512 * 4);
    EXPECT_EQ(Le32(wav, 24), 22050u);
    EXPECT_EQ(Le32(wav, 40), 5512u * 4);
    EXPECT_EQ(wav.substr(44), source.substr(source.size() - 5512 * 4));
}

TEST_F(ConvertTool, SettingsGoIntoTheIniFileThePluginReads)
{
    const QString in = QString::fromStdString(TestData("pcmkit/pcm16-stereo.wav"));
    const QString out = QString::fromStdString(dir.file("out.wav"));
    Result r = Convert({"--set", "cfg_mono=1", in, out});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "PCM, 22050 Hz, 1 channel(s), 16 bits per sample, 5512 frames\n");
    EXPECT_NE(testsupport::ReadFile(kIni).find("cfg_mono=1"), std::string::npos);
    // They stay for the next run, as they do for any host.
    EXPECT_EQ(Convert({in, out}).out, "PCM, 22050 Hz, 1 channel(s), 16 bits per sample, 5512 frames\n");

    r = Convert({"--set", "cfg_ext_mask=2047", "--set", "cfg_raw_sr=8000",
                 QString::fromStdString(TestData("pcmkit/tone.vox")), out});
    EXPECT_EQ(r.out, "PCM, 8000 Hz, 1 channel(s), 16 bits per sample, 4000 frames\n");
}

TEST_F(ConvertTool, FailuresPrintThePluginsMessage)
{
    const QString out = QString::fromStdString(dir.file("out.wav"));
    testsupport::WriteFile(dir.file("words.wav"), "not a sound file at all");
    Result r = Convert({QString::fromStdString(dir.file("words.wav")), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Brevik Waveform Decoder v2.05a error: Invalid file type.\n");

    r = Convert({QString::fromStdString(TestData("pcmkit/sowt.aifc")), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Compressed AIFC files other than 4-bit IMA ADPCM are not supported."), std::string::npos);

    r = Convert({"http://example.invalid/tone.wav", out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("URLs only supported in Tovarro 2.50+"), std::string::npos);

    r = Convert({QString::fromStdString(dir.file("missing.wav")), out});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);

    EXPECT_EQ(Convert({QString::fromStdString(TestData("pcmkit/pcm16-stereo.wav"))}).exitCode, 2);
    EXPECT_EQ(Convert({"--set", "novalue", "a.wav", "b.wav"}).exitCode, 2);
}

// Loading the plug-in maps no codec library: plain PCM, G.711 and MS ADPCM
// play without one, and only a format that needs a codec brings FFmpeg in.
TEST_F(ConvertTool, LoadsTheCodecLibraryOnlyForFormatsThatNeedIt)
{
    auto librariesLoadedFor = [this](const char* file) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_DEBUG", "files");
        process.setProcessEnvironment(env);
        process.start(kTool, {QString::fromStdString(TestData(std::string("pcmkit/") + file)),
                              QString::fromStdString(dir.file("out.wav"))});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << file;
        return process.readAllStandardError().toStdString();
    };
    for (const char* file : {"pcm16-stereo.wav", "mulaw.au", "alaw.wav", "pcm8.voc", "msadpcm.wav"}) {
        const std::string loaded = librariesLoadedFor(file);
        EXPECT_NE(loaded.find("in_pcmkit.so"), std::string::npos) << file;
        EXPECT_EQ(loaded.find("libavcodec"), std::string::npos) << file;
        EXPECT_EQ(loaded.find("libacmcodecs"), std::string::npos) << file;
    }
    const std::string loaded = librariesLoadedFor("gsm.wav");
    EXPECT_NE(loaded.find("libacmcodecs.so"), std::string::npos);
    EXPECT_NE(loaded.find("libavcodec"), std::string::npos);
}

TEST_F(ConvertTool, DecodesWithoutLoadingQt)
{
    // The loader names every library it maps on standard error.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "files");
    Result r = Convert(
        {QString::fromStdString(TestData("pcmkit/pcm16-stereo.wav")), QString::fromStdString(dir.file("out.wav"))},
        env);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("in_pcmkit.so"), std::string::npos);
    EXPECT_NE(r.err.find("libplatform_core.so"), std::string::npos);
    EXPECT_EQ(r.err.find("libQt6"), std::string::npos);
    EXPECT_EQ(r.err.find("libplatform.so"), std::string::npos);
}

// Files made by sox and ffmpeg decode to exactly what an independent decoder
// of the same arithmetic gives (sox for the standard codecs, ffmpeg where the
// codec layer uses its decoder), with the expected output format.

#include "PcmkitTest.h"

#include "support/ByteBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::TestData;

namespace {

struct Expect {
    const char* file;
    int rate, channels, bits;
    enum Reference { Sox, Ffmpeg } reference;
    int tolerance; // largest difference allowed, in 16-bit steps
};

// 8-bit output is unsigned; the references give it as signed 16-bit.
std::vector<int16_t> As16(const Decoded& d)
{
    if (d.format.bits != 8)
        return Samples16(d.bytes);
    std::vector<int16_t> samples;
    for (unsigned char b : d.bytes)
        samples.push_back(static_cast<int16_t>((b - 128) * 256));
    return samples;
}

void ExpectSame(const std::vector<int16_t>& decoded, const std::vector<int16_t>& reference, int tolerance)
{
    ASSERT_EQ(decoded.size(), reference.size());
    int worst = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i)
        if (std::abs(decoded[i] - reference[i]) > worst)
            worst = std::abs(decoded[i] - reference[i]), at = i;
    EXPECT_LE(worst, tolerance) << "at sample " << at;
}

} // namespace

TEST(RealFiles, SixteenBitAndNarrowerOutputMatchesTheReferenceDecoders)
{
    SettingsScope settings;
    const Expect files[] = {
        {"pcm16-stereo.wav", 22050, 2, 16, Expect::Sox, 0},
        {"pcm8-mono.wav", 11025, 1, 8, Expect::Sox, 0},
        {"mulaw.wav", 8000, 1, 16, Expect::Sox, 0},
        {"alaw.wav", 8000, 2, 16, Expect::Sox, 0},
        {"gsm.wav", 8000, 1, 16, Expect::Sox, 0},
        {"msadpcm.wav", 22050, 2, 16, Expect::Ffmpeg, 0},
        {"imaadpcm.wav", 22050, 2, 16, Expect::Ffmpeg, 0},
        {"mp3.wav", 22050, 1, 16, Expect::Ffmpeg, 0},
        {"mulaw-3ch.wav", 8000, 3, 16, Expect::Ffmpeg, 0}, // extensible, mu-law sub-format
        {"tone.8svx", 8363, 1, 8, Expect::Sox, 0},
        {"pcm8.au", 8000, 2, 8, Expect::Sox, 0},
        {"pcm16.au", 8000, 1, 16, Expect::Sox, 0},
        {"mulaw.au", 8000, 1, 16, Expect::Sox, 0},
        {"alaw.au", 8000, 1, 16, Expect::Sox, 0},
        {"g721.au", 8000, 1, 16, Expect::Sox, 0}, // sox's decoder is the standard's
        {"pcm8.voc", 11025, 1, 8, Expect::Sox, 0},
        {"pcm16.voc", 22050, 2, 16, Expect::Sox, 0},
        // Floating point is truncated by the plug-in and rounded by ffmpeg.
        {"float32-stereo.wav", 22050, 2, 16, Expect::Ffmpeg, 1},
        {"float32-ffmpeg.wav", 16000, 1, 16, Expect::Ffmpeg, 1}, // extensible, float sub-format
        {"float64-mono.wav", 8000, 1, 16, Expect::Ffmpeg, 1},
        {"float32.au", 8000, 1, 16, Expect::Ffmpeg, 1},
        {"float64.au", 8000, 1, 16, Expect::Ffmpeg, 1},
    };
    for (const Expect& e : files) {
        SCOPED_TRACE(e.file);
        Decoded d = DecodeFile(TestData(std::string("pcmkit/") + e.file));
        ASSERT_TRUE(d.opened);
        EXPECT_EQ(d.format.rate, e.rate);
        EXPECT_EQ(d.format.channels, e.channels);
        EXPECT_EQ(d.format.bits, e.bits);
        const std::string path = TestData(std::string("pcmkit/") + e.file);
        ExpectSame(As16(d), e.reference == Expect::Sox ? SoxSamples(path) : FfmpegSamples(path), e.tolerance);
    }
}

// sox's MS ADPCM predictor shifts where the codec divides; they part by a few
// steps at some negative predictions.
TEST(RealFiles, MsAdpcmStaysCloseToSox)
{
    SettingsScope settings;
    Decoded d = DecodeFile(TestData("pcmkit/msadpcm.wav"));
    ASSERT_TRUE(d.opened);
    ExpectSame(Samples16(d.bytes), SoxSamples(TestData("pcmkit/msadpcm.wav")), 64);
    d = DecodeFile(TestData("pcmkit/imaadpcm.wav"));
    ASSERT_TRUE(d.opened);
    ExpectSame(Samples16(d.bytes), SoxSamples(TestData("pcmkit/imaadpcm.wav")), 32);
}

// The companded formats are expanded by table: every code of each law must
// give what sox gives, two at a time and the odd one at the end alone.
TEST(RealFiles, EveryMuLawAndALawCodeExpandsAsSoxExpandsIt)
{
    testsupport::TempDir dir;
    for (const auto& [encoding, name] : {std::pair{1u, "mulaw.au"}, std::pair{27u, "alaw.au"}}) {
        testsupport::ByteBuilder au;
        au.text(".snd").u32be(24).u32be(257).u32be(encoding).u32be(8000).u32be(1);
        for (unsigned code = 0; code < 256; ++code)
            au.u8(code);
        au.u8(0x80);
        const std::string path = dir.file(name);
        au.writeTo(path);
        SCOPED_TRACE(name);
        SettingsScope settings;
        Decoded d = DecodeFile(path);
        ASSERT_TRUE(d.opened);
        EXPECT_EQ(d.format.bits, 16);
        ExpectSame(Samples16(d.bytes), SoxSamples(path), 0);
    }
}

// MS ADPCM is decoded by the plug-in's codec layer itself: sample for sample
// what ffmpeg's decoder gives, mono and stereo, a short last block included,
// and clipped noise that drives the predictions past the 16-bit range.
TEST(RealFiles, MsAdpcmIsExactlyWhatFfmpegDecodes)
{
    SettingsScope settings;
    testsupport::TempDir dir;
    const struct {
        const char* channels;
        QStringList synth;
    } inputs[] = {{"1", {"sine", "300-3000", "vol", "0.9"}},
                  {"2", {"sine", "300-3000", "vol", "0.9"}},
                  {"1", {"whitenoise", "vol", "1.4"}},
                  {"2", {"whitenoise", "vol", "1.4"}}};
    for (const auto& [channels, synth] : inputs) {
        SCOPED_TRACE(std::string(channels) + " channel(s), " + synth.join(' ').toStdString());
        const std::string path = dir.file(std::string("ms") + channels + synth.first().toStdString() + ".wav");
        RunProgram("sox", QStringList{"-n", "-r", "11025", "-c", channels, "-e", "ms-adpcm",
                                      QString::fromStdString(path), "synth", "1.37"} +
                              synth);
        Decoded d = DecodeFile(path);
        ASSERT_TRUE(d.opened);
        const std::string reference =
            RunProgram("ffmpeg", {"-nostdin", "-v", "error", "-i", QString::fromStdString(path), "-f", "s16le", "-"});
        ASSERT_FALSE(reference.empty());
        EXPECT_TRUE(d.bytes == reference) << d.bytes.size() << " bytes against " << reference.size();
    }
}

// ffmpeg writes 16000 as the byte rate of every ADPCM WAV it makes: the
// length and the seeks follow the blocks instead, as the file sounds.
TEST(RealFiles, FfmpegAdpcmIsAsLongAsItSoundsAndSeeksWhereItIsTold)
{
    SettingsScope settings;
    testsupport::TempDir dir;
    for (const char* codec : {"adpcm_ima_wav", "adpcm_ms"}) {
        for (const char* channels : {"1", "2"}) {
            SCOPED_TRACE(std::string(codec) + ", " + channels + " channel(s)");
            const std::string path = dir.file(std::string(codec) + channels + ".wav");
            RunProgram("ffmpeg", {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "sine=440:d=4", "-ac", channels,
                                  "-c:a", codec, QString::fromStdString(path)});
            const Decoded all = DecodeFile(path);
            ASSERT_TRUE(all.opened);
            const int frameBytes = 2 * std::atoi(channels);
            const int64_t frames = int64_t(all.bytes.size()) / frameBytes;
            EXPECT_NEAR(frames, 4 * 44100, 2048) << "whole blocks";
            EXPECT_NEAR(all.lengthFrames, frames, 2048);
            EXPECT_NE(all.info.find("Length: 4 seconds"), std::string::npos) << all.info;

            abort_flag never{false};
            open_result result;
            decoder* d = open_file(path.c_str(), false, &never, &result);
            ASSERT_NE(d, nullptr);
            ASSERT_EQ(d->ops->seek(d, 2 * 44100, nullptr, &never), 0);
            std::string rest(all.bytes.size(), '\0');
            int64_t read = 0;
            while (int n = d->ops->read(d, rest.data() + read, 576 * frameBytes, &never))
                read += n;
            decoder_destroy(d);
            EXPECT_NEAR(read / frameBytes, frames - 2 * 44100, 2048) << "from the block of the second";
        }
    }
}

TEST(RealFiles, WideIntegerSamplesArePassedOnExactly)
{
    SettingsScope settings;
    const struct {
        const char* file;
        const char* ffmpegFormat;
        int bits;
    } files[] = {{"pcm24-stereo.wav", "s24le", 24},
                 {"pcm32-mono.wav", "s32le", 32},
                 {"pcm24.au", "s24le", 24},
                 {"pcm32.au", "s32le", 32}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const std::string path = TestData(std::string("pcmkit/") + f.file);
        Decoded d = DecodeFile(path);
        ASSERT_TRUE(d.opened);
        EXPECT_EQ(d.format.bits, f.bits);
        std::string reference = RunProgram(
            "ffmpeg", {"-nostdin", "-v", "error", "-i", QString::fromStdString(path), "-f", f.ffmpegFormat, "-"});
        EXPECT_TRUE(d.bytes == reference);
    }
}

TEST(RealFiles, AiffLosesTheLastEightBytesToItsSoundDataSearchLimit)
{
    SettingsScope settings;
    for (const char* file : {"pcm16.aiff", "pcm8.aiff", "pcm24.aiff"}) {
        SCOPED_TRACE(file);
        const std::string path = TestData(std::string("pcmkit/") + file);
        Decoded d = DecodeFile(path);
        ASSERT_TRUE(d.opened);
        const char* format = d.format.bits == 8 ? "u8" : d.format.bits == 16 ? "s16le" : "s24le";
        std::string reference =
            RunProgram("ffmpeg", {"-nostdin", "-v", "error", "-i", QString::fromStdString(path), "-f", format, "-"});
        // The search for SSND stops 8 bytes short of the form's end, and the data with it.
        const std::size_t frame = static_cast<std::size_t>(d.format.bits / 8 * d.format.channels);
        EXPECT_EQ(d.bytes.size(), (reference.size() - 8) / frame * frame);
        EXPECT_EQ(d.bytes, reference.substr(0, d.bytes.size()));
    }
}

TEST(RealFiles, PluginArithmeticCodecsFollowTheirSignalAndStayNearOtherDecoders)
{
    SettingsScope settings;
    // IMA4 keeps the packet header's 9 bits of predictor; ffmpeg keeps more.
    Decoded ima4 = DecodeFile(TestData("pcmkit/ima4.aifc"));
    ASSERT_TRUE(ima4.opened);
    EXPECT_EQ(ima4.format.channels, 2);
    EXPECT_GT(SignalToNoise(SoxSamples(TestData("pcmkit/sine-16k-stereo.wav")), Samples16(ima4.bytes)), 25.0);
    std::vector<int16_t> ffmpeg = FfmpegSamples(TestData("pcmkit/ima4.aifc"));
    ffmpeg.resize(Samples16(ima4.bytes).size());
    ExpectSame(Samples16(ima4.bytes), ffmpeg, 127);

    Decoded aud = DecodeFile(TestData("pcmkit/ima.aud"));
    ASSERT_TRUE(aud.opened);
    EXPECT_EQ(aud.format.rate, 22050);
    EXPECT_GT(SignalToNoise(SoxSamples(TestData("pcmkit/sine440-22k.wav")), Samples16(aud.bytes)), 25.0);

    Decoded vox = DecodeFile(TestData("pcmkit/tone.vox"));
    ASSERT_TRUE(vox.opened);
    EXPECT_EQ(vox.format.rate, 6000);
    EXPECT_GT(SignalToNoise(SoxSamples(TestData("pcmkit/sine440-8k.wav")), Samples16(vox.bytes)), 15.0);

    Decoded g721 = DecodeFile(TestData("pcmkit/g721.au"));
    ASSERT_TRUE(g721.opened);
    EXPECT_GT(SignalToNoise(SoxSamples(TestData("pcmkit/sine440-8k.wav")), Samples16(g721.bytes)), 20.0);
}

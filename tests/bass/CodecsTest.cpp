// The light MPEG audio and Ogg Vorbis decoders against the general one
// (FFmpeg) on files from real encoders: the same lengths, the same sound,
// exact seeks, and the right decoder chosen for each file.

#include "bass/FileStream.h"
#include "bass/bass.h"
#include "support/ByteBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Samples = std::vector<int16_t>;

// ffmpeg with an lavfi source, quiet and overwriting.
bool Ffmpeg(const std::string& source, const std::string& output)
{
    const std::string command =
        "ffmpeg -nostdin -loglevel error -y -f lavfi -i '" + source + "' " + output + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// Two tones, 440 Hz on the left and 660 Hz on the right, at half of full scale.
std::string TwoTones(int rate, double seconds)
{
    return "aevalsrc=0.5*sin(2*PI*440*t)|0.5*sin(2*PI*660*t):s=" + std::to_string(rate) +
           ":d=" + std::to_string(seconds);
}

std::unique_ptr<bass::InputData> Input(const std::string& path)
{
    int error = 0;
    auto data = bass::InputData::Open(false, path.c_str(), 0, 0, error);
    EXPECT_TRUE(data) << path;
    return data;
}

enum class Decoder { Light, General };

struct Decoded {
    bass::StreamFormat format;
    Samples samples;
};

std::unique_ptr<bass::Source> Open(const std::string& path, Decoder decoder, bool mono, bass::StreamFormat& format)
{
    auto data = Input(path);
    if (!data)
        return nullptr;
    if (decoder == Decoder::General) {
        int error = 0;
        return bass::OpenFileSource(std::move(data), bass::kCoreFileRules, mono, format, error);
    }
    return path.ends_with(".ogg") ? bass::OpenVorbisSource(data, mono, format)
                                  : bass::OpenMpegSource(data, mono, format);
}

Samples ReadAll(bass::Source& source, unsigned channels)
{
    Samples all, block(4096 * channels);
    std::size_t got;
    while ((got = source.read(block.data(), 4096)) > 0)
        all.insert(all.end(), block.begin(), block.begin() + std::ptrdiff_t(got * channels));
    return all;
}

Decoded Decode(const std::string& path, Decoder decoder, bool mono = false)
{
    Decoded d;
    auto source = Open(path, decoder, mono, d.format);
    if (source)
        d.samples = ReadAll(*source, d.format.channels);
    return d;
}

int MaxDifference(const Samples& a, const Samples& b)
{
    int worst = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

// The light decoder's length is exactly what it plays, and that is what the
// encoder was given when the file tells its encoder delay (encodedFrames; -1:
// not told); the sound is the general decoder's to within one step of rounding
// (both work in float).
void ExpectExactLengthAndSameSound(const std::string& path, int64_t encodedFrames)
{
    SCOPED_TRACE(path);
    for (bool mono : {false, true}) {
        SCOPED_TRACE(mono ? "mono" : "as stored");
        const Decoded light = Decode(path, Decoder::Light, mono), general = Decode(path, Decoder::General, mono);
        ASSERT_GT(general.format.rate, 0u);
        ASSERT_EQ(light.format.rate, general.format.rate);
        ASSERT_EQ(light.format.channels, general.format.channels);
        const int64_t played = int64_t(light.samples.size() / light.format.channels);
        EXPECT_EQ(light.format.lengthFrames, played);
        if (encodedFrames >= 0) {
            EXPECT_EQ(played, encodedFrames);
        }
        EXPECT_LE(MaxDifference(light.samples, general.samples), 1);
    }
}

// A seek lands on exactly the frame asked for: what follows is what a decode
// from the start gives there.
void ExpectExactSeeks(const std::string& path, int tolerance)
{
    SCOPED_TRACE(path);
    const Decoded whole = Decode(path, Decoder::Light);
    const unsigned channels = whole.format.channels;
    const int64_t length = whole.format.lengthFrames;
    ASSERT_GT(length, 10000);
    bass::StreamFormat format;
    auto source = Open(path, Decoder::Light, false, format);
    ASSERT_TRUE(source);
    for (int64_t at : {length / 2, int64_t(1), length / 3 + 7, length - 1000, int64_t(0)}) {
        SCOPED_TRACE(at);
        ASSERT_TRUE(source->seek(uint64_t(at)));
        Samples block(1000 * channels);
        ASSERT_EQ(source->read(block.data(), 1000), 1000u);
        const Samples expected(whole.samples.begin() + at * channels, whole.samples.begin() + (at + 1000) * channels);
        EXPECT_LE(MaxDifference(block, expected), tolerance);
    }
    ASSERT_TRUE(source->seek(uint64_t(length)));
    Samples block(1000 * channels);
    EXPECT_EQ(source->read(block.data(), 1000), 0u);
}

class Codecs : public ::testing::Test {
  protected:
    testsupport::TempDir dir;
};

TEST_F(Codecs, MpegFromLameAndFfmpegDecodesAsTheGeneralDecoderDoes)
{
    const std::string cbr = dir.file("cbr320.mp3"), mono = dir.file("mono22k.mp3"), low = dir.file("mpeg25.mp3"),
                      layer2 = dir.file("layer2.mp2"), noXing = dir.file("noxing.mp3");
    ASSERT_TRUE(Ffmpeg(TwoTones(44100, 3.3), "-c:a libmp3lame -b:a 320k " + cbr));
    ASSERT_TRUE(Ffmpeg("sine=frequency=500:sample_rate=22050:duration=2.1", "-c:a libmp3lame -q:a 5 " + mono));
    ASSERT_TRUE(Ffmpeg("sine=frequency=300:sample_rate=8000:duration=2.7", "-c:a libmp3lame -b:a 16k " + low));
    ASSERT_TRUE(Ffmpeg(TwoTones(48000, 1.9), "-c:a mp2 -b:a 192k -f mp2 " + layer2));
    ASSERT_TRUE(Ffmpeg(TwoTones(32000, 2.2), "-c:a libmp3lame -q:a 2 -write_xing 0 " + noXing));
    const int64_t unknown = -1;
    for (const auto& [path, frames] :
         {std::pair{cbr, int64_t(145530)}, std::pair{mono, int64_t(46305)}, std::pair{low, int64_t(21600)},
          std::pair{layer2, unknown}, std::pair{noXing, unknown},
          std::pair{testsupport::TestData("bass/tone.mp3"), int64_t(35280)},
          std::pair{testsupport::TestData("bass/tone-notag.mp3"), unknown}}) {
        ExpectExactLengthAndSameSound(path, frames);
        // Every frame the general decoder plays, no more.
        EXPECT_EQ(Decode(path, Decoder::Light).samples.size(), Decode(path, Decoder::General).samples.size()) << path;
    }
}

TEST_F(Codecs, MpegTagsAreSkippedAndDamageIsPassedOver)
{
    // ID3v2 with padding after it, ID3v1 and APE at the end: none of them is heard.
    for (const char* name : {"fileinfo/apev2_id3v1.mp3", "fileinfo/apev2.mp3", "fileinfo/id3v23_mutagen.mp3",
                             "fileinfo/lame_cbr16_mono_mpeg25.mp3", "fileinfo/lame_vbr_stereo_mpeg2.mp3"})
        ExpectExactLengthAndSameSound(testsupport::TestData(name), -1);
    const std::string clean = dir.file("clean.mp3"), damaged = dir.file("damaged.mp3");
    ASSERT_TRUE(Ffmpeg(TwoTones(44100, 4), "-c:a libmp3lame -b:a 128k " + clean));
    std::string bytes = testsupport::ReadFile(clean);
    for (std::size_t i = bytes.size() / 2; i < bytes.size() / 2 + 3000; ++i)
        bytes[i] = char(i * 7919 % 251);
    testsupport::WriteFile(damaged, bytes);
    const Decoded light = Decode(damaged, Decoder::Light), general = Decode(damaged, Decoder::General);
    const int64_t heard = int64_t(light.samples.size() / 2);
    // Both go on past the damage and lose about the same few frames to it.
    EXPECT_GT(heard, light.format.lengthFrames - 12 * 1152);
    EXPECT_NEAR(double(heard), double(general.samples.size() / 2), 4 * 1152);
}

TEST_F(Codecs, VorbisFromOggencAndFfmpegDecodesAsTheGeneralDecoderDoes)
{
    const std::string q6 = dir.file("q6.ogg"), mono = dir.file("mono.ogg");
    ASSERT_TRUE(Ffmpeg(TwoTones(48000, 2.6), "-c:a libvorbis -q:a 6 " + q6));
    ASSERT_TRUE(Ffmpeg("sine=frequency=700:sample_rate=22050:duration=1.7", "-c:a libvorbis -q:a 2 " + mono));
    ExpectExactLengthAndSameSound(q6, 124800);
    ExpectExactLengthAndSameSound(mono, 37485);
    ExpectExactLengthAndSameSound(testsupport::TestData("bass/tone.ogg"), 35280);
}

TEST_F(Codecs, SeeksLandExactly)
{
    const std::string mp3 = dir.file("seek.mp3"), ogg = dir.file("seek.ogg");
    ASSERT_TRUE(Ffmpeg(TwoTones(44100, 3), "-c:a libmp3lame -b:a 192k " + mp3));
    ASSERT_TRUE(Ffmpeg(TwoTones(44100, 3), "-c:a libvorbis -q:a 4 " + ogg));
    ExpectExactSeeks(mp3, 0);
    ExpectExactSeeks(ogg, 0);
}

// Which decoder each file goes to, counted through the tables.
int g_light = 0, g_general = 0;

std::unique_ptr<bass::Source> CountMpeg(std::unique_ptr<bass::InputData>& data, bool mono, bass::StreamFormat& format)
{
    auto source = bass::OpenMpegSource(data, mono, format);
    g_light += source ? 1 : 0;
    return source;
}

std::unique_ptr<bass::Source> CountVorbis(std::unique_ptr<bass::InputData>& data, bool mono, bass::StreamFormat& format)
{
    auto source = bass::OpenVorbisSource(data, mono, format);
    g_light += source ? 1 : 0;
    return source;
}

std::unique_ptr<bass::Source> CountGeneral(std::unique_ptr<bass::InputData> data, const bass::FileRules& rules,
                                           bool mono, bass::StreamFormat& format, int& error)
{
    ++g_general;
    return bass::OpenFileSource(std::move(data), rules, mono, format, error);
}

const bass::CodecTable* CountingCodecs()
{
    static const bass::CodecTable table{&CountMpeg, &CountVorbis};
    return &table;
}

const bass::DecoderTable* CountingDecoders()
{
    static const bass::DecoderTable table{&CountGeneral, &bass::OpenMusicSource};
    return &table;
}

TEST_F(Codecs, EachFileGoesToTheDecoderThatPlaysIt)
{
    const std::string surround = dir.file("surround.ogg"), inWav = dir.file("mp3-in.wav"), wav = dir.file("pcm.wav"),
                      padded = dir.file("padded.mp3"), noise = dir.file("noise.mp3");
    ASSERT_TRUE(Ffmpeg("sine=frequency=400:sample_rate=44100:duration=0.5", "-ac 3 -c:a libvorbis " + surround));
    ASSERT_TRUE(Ffmpeg("sine=frequency=400:sample_rate=44100:duration=0.5", "-c:a libmp3lame " + inWav));
    ASSERT_TRUE(Ffmpeg("sine=frequency=400:sample_rate=44100:duration=0.5", wav));
    testsupport::ByteBuilder tagged;
    tagged.append(testsupport::Id3v23ArtistTitle("an artist", "a title"));
    tagged.fill(700, 0); // padding after the tag
    tagged.append(testsupport::ReadFile(testsupport::TestData("bass/tone.mp3")));
    tagged.writeTo(padded);
    testsupport::WriteFile(noise, std::string(5000, '\x5a'));

    const struct {
        std::string path;
        bool opens, light;
    } files[] = {{testsupport::TestData("bass/tone.mp3"), true, true},
                 {testsupport::TestData("bass/tone.ogg"), true, true},
                 {padded, true, true},
                 {surround, true, false}, // mixed down by the general decoder
                 {inWav, true, false},
                 {wav, true, false},
                 {noise, false, false}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        g_light = g_general = 0;
        bass::StreamFormat format;
        int error = 0;
        auto source = bass::OpenFileStream(Input(f.path), bass::kCoreFileRules, false, format, error, &CountingCodecs,
                                           &CountingDecoders);
        EXPECT_EQ(bool(source), f.opens) << error;
        EXPECT_EQ(g_light, f.light ? 1 : 0);
        EXPECT_EQ(g_general, f.light ? 0 : 1);
    }
}

} // namespace

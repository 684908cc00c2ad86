#include "fileinfo/MPEGaudio.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TMPEGaudio;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using testsupport::TempDir;

namespace {

// Frames of one header; the payload byte after each header decides ZeroAfterHeader.
std::string Frames(uint8_t b1, uint8_t b2, uint8_t b3, int length, int count, uint8_t payload = 0x55)
{
    ByteBuilder b;
    for (int i = 0; i < count; ++i)
        b.u8(0xFF).u8(b1).u8(b2).u8(b3).fill(static_cast<std::size_t>(length - 4), payload);
    return b.str();
}

// MPEG 1 Layer III, 128 kbit/s, 44.1 kHz, no CRC: 417-byte frames.
std::string Cbr128(uint8_t b3 = 0x44, int count = 40, uint8_t payload = 0x55)
{
    return Frames(0xFB, 0x90, b3, 417, count, payload);
}

// MPEG 1 Layer I, 32 kbit/s, 48 kHz: 32-byte frames, and a coefficient that makes the
// average bit rate equal the average frame size.
std::string LayerOneWithVBR(const std::string& id, uint32_t frames, uint32_t bytes)
{
    std::string data = Frames(0xFF, 0x14, 0x00, 32, 200);
    std::string header = ByteBuilder().text(id).u32be(0xF).u32be(frames).u32be(bytes).str();
    if (id == "VBRI")
        header = ByteBuilder().text(id).u16be(1).u16be(0).u8(0).u8(77).u32be(bytes).u32be(frames).str();
    return data.replace(36, header.size(), header);
}

} // namespace

TEST(MPEGaudio, ConstantBitRateFileWithBothTags)
{
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Fixture("lame_cbr128.mp3")));
    EXPECT_TRUE(mpeg.IsPlausible());
    EXPECT_EQ(mpeg.FileSize(), 34944);
    EXPECT_EQ(mpeg.Frame().FrameOffset, 0);
    EXPECT_EQ(mpeg.Frame().FrameLength, 417);
    EXPECT_EQ(mpeg.BitRateKbps(), 128);
    EXPECT_EQ(mpeg.SampleRate(), 44100);
    EXPECT_EQ(mpeg.ChannelModeText(), "Stereo"); // joint stereo
    // From the end of the ID3v2 tag to the end of the file, ID3v1 tag included.
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), (34944.0 - 1799) * 8 / 128 / 1000);
    EXPECT_FALSE(mpeg.VBR().Present);
    EXPECT_EQ(mpeg.EncoderText(), "LAME3.10");
    EXPECT_EQ(mpeg.EncoderId(), 3);
    EXPECT_EQ(mpeg.EncoderName(), "LAME 3.10");
    EXPECT_EQ(mpeg.Id3v2Tag().Title(), "Cbr Title");
    EXPECT_EQ(mpeg.Id3v1Tag().Title(), "Cbr Title");
}

TEST(MPEGaudio, XingHeadersAtEachOffset)
{
    struct Case {
        const char* file;
        int version, mode, frames;
        uint16_t kbps;
    } cases[] = {{"lame_vbr.mp3", 3, 1, 78, 61},
                 {"lame_vbr_mono_mpeg1.mp3", 3, 3, 78, 37},   // offset 21
                 {"lame_vbr_stereo_mpeg2.mp3", 2, 1, 79, 59}, // offset 21
                 {"lame_vbr_mono_mpeg2.mp3", 2, 3, 58, 35}};  // offset 13
    for (const Case& c : cases) {
        TMPEGaudio mpeg;
        ASSERT_TRUE(mpeg.Read(Fixture(c.file))) << c.file;
        EXPECT_EQ(mpeg.Frame().VersionCode, c.version) << c.file;
        EXPECT_EQ(mpeg.Frame().ModeCode, c.mode) << c.file;
        EXPECT_TRUE(mpeg.VBR().Present) << c.file;
        EXPECT_EQ(mpeg.VBR().Id, "Xing");
        EXPECT_EQ(mpeg.VBR().FrameCount, c.frames) << c.file;
        EXPECT_EQ(mpeg.BitRateKbps(), c.kbps) << c.file;
        int samples = c.version == 3 ? 1152 : 576;
        EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), double(samples) * c.frames / mpeg.SampleRate()) << c.file;
        EXPECT_EQ(mpeg.EncoderName(), "LAME 3.10");
        EXPECT_TRUE(mpeg.IsPlausible());
    }
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Fixture("lame_vbr.mp3"))); // the ID3v2.4 tag is skipped by its size
    EXPECT_EQ(mpeg.Id3v2Tag().TagSize(), 1092);
    EXPECT_EQ(mpeg.Frame().FrameOffset, 0);
    EXPECT_EQ(mpeg.VBR().ByteCount, 16621 - 1092); // the audio after the tag
}

TEST(MPEGaudio, ShortFileFailsTheEndSearchButStaysPlausible)
{
    TMPEGaudio mpeg;
    EXPECT_FALSE(mpeg.Read(Fixture("lame_cbr16_mono_mpeg25.mp3"))); // 2304 bytes, no ID3v1 tag
    EXPECT_TRUE(mpeg.IsPlausible());
    EXPECT_EQ(mpeg.Frame().VersionCode, 0);
    EXPECT_EQ(mpeg.SampleRate(), 8000);
    EXPECT_EQ(mpeg.ChannelModeText(), "Mono");
}

TEST(MPEGaudio, OneHeaderAloneIsNotAudio)
{
    TempDir dir;
    TMPEGaudio mpeg;
    // A valid-looking header in text, no second one a frame later; the ID3v1 tag is cleared with it.
    std::string bytes = std::string(500, 'x') + "\xFF\xFB\x90\x44" + std::string(5000, 'x');
    bytes += ByteBuilder().text("TAG").fixed("Title", 125).str();
    EXPECT_TRUE(mpeg.Read(Put(dir, bytes)));
    EXPECT_FALSE(mpeg.Frame().Located);
    EXPECT_FALSE(mpeg.IsPlausible());
    EXPECT_FALSE(mpeg.Id3v1Tag().TagFound());
    EXPECT_EQ(mpeg.Frame().ModeCode, 4);
    EXPECT_EQ(mpeg.ChannelModeText(), "Unknown");
}

TEST(MPEGaudio, AudioAfterLongGarbageIsFoundInTheMiddle)
{
    TempDir dir;
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Put(dir, std::string(4000, 'x') + Cbr128(0x44, 50))));
    ASSERT_TRUE(mpeg.Frame().Located);
    // Position (size - 0) / 2 = 12425 lies 8425 bytes into the frames: the next header is 8 bytes on.
    EXPECT_EQ(mpeg.Frame().FrameOffset, 417 * 21 - 8425);
    EXPECT_TRUE(mpeg.IsPlausible());
}

TEST(MPEGaudio, VariableBitRateHeaders)
{
    TempDir dir;
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 2, 201))));
    EXPECT_EQ(mpeg.BitRateKbps(), 100); // 100.5, halves to even
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 48.0 * 2 * 8 / 48000);
    EXPECT_EQ(mpeg.EncoderId(), 1); // a vendor text of another encoder
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 2, 203))));
    EXPECT_EQ(mpeg.BitRateKbps(), 102); // 101.5
    // No frame count: table bit rate and file size.
    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("Xing", 0, 999))));
    EXPECT_EQ(mpeg.BitRateKbps(), 32);
    EXPECT_DOUBLE_EQ(mpeg.DurationSeconds(), 6400.0 * 8 / 32 / 1000);

    ASSERT_TRUE(mpeg.Read(Put(dir, LayerOneWithVBR("VBRI", 4, 480))));
    EXPECT_EQ(mpeg.VBR().Id, "VBRI");
    EXPECT_EQ(mpeg.VBR().Quality, 77);
    EXPECT_EQ(mpeg.BitRateKbps(), 120);
    EXPECT_EQ(mpeg.VBR().VendorText, "");
    EXPECT_EQ(mpeg.EncoderName(), "FhG");
}

TEST(MPEGaudio, EncoderGuessFromHeaderFlags)
{
    struct Case {
        uint8_t b1, b3, payload;
        int id;
    } cases[] = {
        {0xFB, 0x40, 0x55, 2}, // nothing special: FhG
        {0xFA, 0x44, 0x55, 3}, // original with CRC: LAME
        {0xFB, 0x00, 0x55, 4}, // stereo at 160 kbit/s or less: Blade
        {0xFB, 0x4C, 0x55, 1}, // copyright and original without CRC: Xing
        {0xFA, 0x44, 0x00, 1}, // zeros after an original header: Xing
        {0xFA, 0x80, 0x55, 6}, // dual channel with CRC: Shine
    };
    TempDir dir;
    for (const Case& c : cases) {
        TMPEGaudio mpeg;
        ASSERT_TRUE(mpeg.Read(Put(dir, Frames(c.b1, 0x90, c.b3, 417, 20, c.payload))));
        EXPECT_EQ(mpeg.EncoderId(), c.id) << int(c.b1) << " " << int(c.b3);
    }
    TMPEGaudio mpeg;
    std::string gogo = Cbr128(0x44, 20);
    gogo.replace(gogo.size() - 100, 4, "GOGO");
    ASSERT_TRUE(mpeg.Read(Put(dir, gogo)));
    EXPECT_EQ(mpeg.EncoderText(), "GOGO");
    EXPECT_EQ(mpeg.EncoderName(), "GoGo");
}

TEST(MPEGaudio, OtherFormatsLeaveEverythingCleared)
{
    TMPEGaudio mpeg;
    ASSERT_TRUE(mpeg.Read(Fixture("lame_cbr128.mp3")));
    EXPECT_TRUE(mpeg.Read(Fixture("pcm_s16_stereo.wav")));
    EXPECT_FALSE(mpeg.Frame().Located);
    EXPECT_EQ(mpeg.FileSize(), 0);
    EXPECT_EQ(mpeg.EncoderText(), "");
    EXPECT_EQ(mpeg.DurationSeconds(), 0);
    EXPECT_EQ(mpeg.EncoderId(), 0);
    EXPECT_FALSE(mpeg.Read(Fixture("missing.mp3")));
}

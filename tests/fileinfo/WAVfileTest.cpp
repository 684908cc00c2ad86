#include "fileinfo/WAVfile.h"
#include "Fixtures.h"
#include "fileinfo/WAVfileinf.h"

#include <gtest/gtest.h>

#include <filesystem>

using fixtures::Fixture;
using fixtures::Put;
using PlayerWav = fileinfo::WAVfile::TWAVfile;
using DisplayWav = fileinfo::WAVfileinf::TWAVfile;

namespace {

// A 16-bit mono 8 kHz header whose sizes claim `claimed` data bytes, with `actual` stored.
std::string Pcm(uint32_t claimed, std::size_t actual)
{
    testsupport::ByteBuilder b;
    b.text("RIFF").u32le(36 + claimed).text("WAVEfmt ").u32le(16).u16le(1).u16le(1).u32le(8000).u32le(16000);
    return b.u16le(2).u16le(16).text("data").u32le(claimed).zeros(actual).str();
}

} // namespace

TEST(WAVfile, PlainPcm)
{
    DisplayWav display;
    PlayerWav player;
    ASSERT_TRUE(display.Read(Fixture("pcm_s16_stereo.wav")));
    ASSERT_TRUE(player.Read(Fixture("pcm_s16_stereo.wav")));
    EXPECT_EQ(display.HeaderSize(), 44);
    EXPECT_DOUBLE_EQ(display.DurationSeconds(), (22096.0 - 44) / 88200);
    EXPECT_DOUBLE_EQ(player.DurationSeconds(), (22096.0 - 44) * 8 / 22050 / 16 / 2);
}

TEST(WAVfile, ChunkAfterTheFormat)
{
    const struct {
        const char* file;
        uint16_t formatTag, headerSize;
        int32_t samples;
    } cases[] = {{"ima_adpcm.wav", 0x11, 20 + 40, 11025},
                 {"ms_adpcm.wav", 2, 50 + 40, 11025},
                 {"pcm_s24_stereo.wav", 0xFFFE, 40 + 40, 5513}};
    for (const auto& c : cases) {
        DisplayWav display;
        ASSERT_TRUE(display.Read(Fixture(c.file))) << c.file;
        EXPECT_EQ(display.FormatTag(), c.formatTag) << c.file;
        EXPECT_EQ(display.HeaderSize(), c.headerSize) << c.file;
        EXPECT_EQ(display.SampleCount(), c.samples) << c.file;
        EXPECT_DOUBLE_EQ(display.DurationSeconds(), c.samples / 22050.0) << c.file;
    }
    // A LIST chunk where a fact chunk would be: its bytes are no sample count, so the duration
    // comes from the data size and the byte rate.
    DisplayWav display;
    ASSERT_TRUE(display.Read(Fixture("ffmpeg_list_chunk.wav")));
    EXPECT_EQ(display.SampleCount(), 0);
    EXPECT_DOUBLE_EQ(display.DurationSeconds(), (8096.0 - 16 - 40) / 16000);
}

TEST(WAVfile, SizesThatAreNoSizesAndSizesAbove2GiB)
{
    testsupport::TempDir dir;
    DisplayWav display;
    PlayerWav player;
    // A writer on a pipe cannot go back to fill the sizes in: 0 or 0xFFFFFFFF; 1600 bytes follow.
    for (uint32_t riff : {0u, 0xFFFFFFFFu}) {
        std::string bytes = Pcm(0, 1600).replace(4, 4, testsupport::ByteBuilder().u32le(riff).str());
        ASSERT_TRUE(display.Read(Put(dir, bytes)));
        ASSERT_TRUE(player.Read(Put(dir, bytes)));
        EXPECT_EQ(display.FileSize(), 1644) << riff;
        EXPECT_DOUBLE_EQ(display.DurationSeconds(), 0.1) << riff;
        EXPECT_DOUBLE_EQ(player.DurationSeconds(), 0.1) << riff;
    }
    // 3,000,000,000 bytes of 44.1 kHz 16-bit stereo (a sparse file): a size that is negative as a
    // signed 32-bit number, and 4:43:26.
    const uint32_t data = 3000000000u;
    testsupport::ByteBuilder b;
    b.text("RIFF").u32le(36 + data).text("WAVEfmt ").u32le(16).u16le(1).u16le(2).u32le(44100).u32le(176400);
    const std::string big = Put(dir, b.u16le(4).u16le(16).text("data").u32le(data).str(), "big.wav");
    std::filesystem::resize_file(big, 44 + uint64_t(data));
    ASSERT_TRUE(display.Read(big));
    ASSERT_TRUE(player.Read(big));
    EXPECT_EQ(display.FileSize(), 44 + int64_t(data));
    EXPECT_NEAR(display.DurationSeconds(), 17006.8, 0.1);
    EXPECT_NEAR(player.DurationSeconds(), 17006.8, 0.1);
}

TEST(WAVfile, HeaderQuirks)
{
    DisplayWav display;
    PlayerWav player;
    ASSERT_TRUE(display.Read(Fixture("pcm_96k.wav")));
    ASSERT_TRUE(player.Read(Fixture("pcm_96k.wav")));
    EXPECT_EQ(display.SampleRate(), 96000u);
    EXPECT_EQ(display.BitRateKbps(), 1536u);
    EXPECT_DOUBLE_EQ(player.DurationSeconds(), (9644.0 - 44) * 8 / 96000 / 16);
    ASSERT_TRUE(display.Read(Fixture("pcm_6ch.wav")));
    ASSERT_TRUE(player.Read(Fixture("pcm_6ch.wav")));
    EXPECT_FALSE(display.Recognised());
    EXPECT_FALSE(player.Recognised());
    // A truncated file whose header claims more than there is: what there is counts.
    testsupport::TempDir dir;
    ASSERT_TRUE(display.Read(Put(dir, Pcm(160000, 100))));
    ASSERT_TRUE(player.Read(Put(dir, Pcm(160000, 100))));
    EXPECT_EQ(display.FileSize(), 144);
    EXPECT_DOUBLE_EQ(display.DurationSeconds(), 100.0 / 16000);
    EXPECT_DOUBLE_EQ(player.DurationSeconds(), 100.0 / 16000);
    // The display side needs 40 bytes, the player side 44; another format is read, not refused.
    EXPECT_TRUE(display.Read(Put(dir, Pcm(0, 0).substr(0, 40))));
    EXPECT_FALSE(display.Read(Put(dir, Pcm(0, 0).substr(0, 39))));
    EXPECT_FALSE(player.Read(Put(dir, Pcm(0, 0).substr(0, 43))));
    EXPECT_TRUE(display.Read(Fixture("lame_vbr.mp3")));
    EXPECT_FALSE(display.Recognised());
}

// The synthesizer on its own: the known song sounds at its pitch for its
// length, ends with a bounded tail, and a seek continues at the right place.

#include "Renderer.h"
#include "Settings.h"

#include "bass/EngineHarness.h"
#include "support/MidiBuilder.h"
#include "support/Pitch.h"

#include <gtest/gtest.h>

using namespace midi;
using enginetest::FirstSoundFrame;
using enginetest::Samples;
using enginetest::ZeroCrossingHz;

namespace {

long FramesOf(int ms)
{
    return long(ms) * kSampleRate / 1000;
}

class Rendering : public ::testing::Test {
  protected:
    void SetUp() override
    {
        const std::string soundFont = find_soundfont();
        ASSERT_FALSE(soundFont.empty()) << "a General MIDI SoundFont package is installed";
        std::string why;
        synth = Synth::Create(soundFont, &why);
        ASSERT_TRUE(synth) << why;
    }

    // Everything the song renders, in blocks of 576 frames.
    Samples renderAll(SongPlayer& player, long limitFrames = FramesOf(10000))
    {
        Samples out;
        int16_t block[576 * 2];
        long total = 0;
        while (total < limitFrames) {
            const int n = player.render(block, 576);
            if (n <= 0)
                break;
            out.insert(out.end(), block, block + 2 * n);
            total += n;
        }
        return out;
    }

    SmfFile parse(const std::string& bytes)
    {
        SmfFile song;
        EXPECT_EQ(ParseMidi(bytes, song), SmfError::None);
        return song;
    }

    std::shared_ptr<Synth> synth;
};

} // namespace

TEST_F(Rendering, HeldNoteSoundsAtItsPitchForTheSongsLength)
{
    const SmfFile song = parse(testsupport::KnownSongBytes("Tone"));
    SongPlayer player(synth, song);
    ASSERT_TRUE(player.start());
    const Samples out = renderAll(player);
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_LT(first, 576) << "the note starts at once";
    EXPECT_NEAR(testsupport::FundamentalHz(out, 0, first + FramesOf(100), first + FramesOf(1400)), 440.0, 440 * 0.01);
    // The song is 1500 ms; after it only the release and the reverb ring, for a bounded time.
    const long frames = long(out.size() / 2);
    EXPECT_GE(frames, FramesOf(song.lengthMs));
    EXPECT_LE(frames, FramesOf(song.lengthMs + kMaxTailMs) + 576);
    // Without the tempo change the note would be held until 2000 ms.
    const double held = enginetest::Rms(out, 0, FramesOf(1300), FramesOf(1450));
    const double released = enginetest::Rms(out, 0, FramesOf(1650), std::min(frames, FramesOf(1800)));
    EXPECT_GT(held, 0.02);
    EXPECT_LT(released, held / 4) << "the note stops at 1500 ms";
}

TEST_F(Rendering, SeekContinuesAtTheRequestedTime)
{
    const SmfFile song = parse(testsupport::SteppedSongBytes());
    SongPlayer player(synth, song);
    ASSERT_TRUE(player.start());
    Samples out = renderAll(player, FramesOf(200));
    ASSERT_TRUE(player.seek(1100));
    out = renderAll(player);
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_LE(first, FramesOf(25) + 576) << "the next note, at 1125 ms";
    EXPECT_NEAR(testsupport::FundamentalHz(out, 0, first + 100, first + FramesOf(90)), testsupport::KnownSong::Hz(76),
                10);
}

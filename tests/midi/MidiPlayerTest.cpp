// The built MIDI plug-in in the real player, heard through the capture device:
// a known song sounds at its pitch for its length, a seek lands, KAR and RMI
// files play with their titles, and FluidSynth is loaded only once a song plays.

#include "PlayerHarness.h"

#include "player/PluginHost.h"
#include "support/MappedLibraries.h"
#include "support/MidiBuilder.h"
#include "support/Pitch.h"

#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>

using namespace player;
using namespace playertest;
using testsupport::FundamentalHz;
using testsupport::KnownSong;

namespace {

constexpr long kBlock = 576;
constexpr double kMaxTailSeconds = 2.0; // what the plug-in lets notes and reverb ring after the end

// The last frame at least a third as loud as the loudest: the end of the notes, before their tail.
long LastLoudFrame(const Samples& stereo)
{
    int peak = 0;
    for (int16_t s : stereo)
        peak = std::max(peak, std::abs(int(s)));
    for (long i = long(stereo.size()) - 1; i >= 0; --i)
        if (std::abs(int(stereo[std::size_t(i)])) * 3 >= peak)
            return i / 2;
    return -1;
}

class MidiPlayer : public ShippedPluginTest {
  protected:
    MidiPlayer() : ShippedPluginTest("in_midi.so") {}
    std::string song(const std::string& name, const std::string& bytes)
    {
        testsupport::WriteFile(dir.file(name), bytes);
        return dir.file(name);
    }
};

} // namespace

TEST_F(MidiPlayer, SongSoundsAtItsPitchForItsLength)
{
    ASSERT_TRUE(p->Open(song("tone.mid", testsupport::KnownSongBytes("Tone"))));
    ASSERT_EQ(p->ChannelKind(), ckPlugin);
    EXPECT_EQ(p->StreamInfo().Title, "Tone");
    EXPECT_EQ(p->PlayLength(), uint32_t(KnownSong::kLengthMs));
    playToEnd();
    ASSERT_EQ(log.pluginStarts.size(), 1u);
    EXPECT_EQ(log.pluginStarts[0], std::make_pair(uint16_t(2), uint32_t(44100)));
    EXPECT_TRUE(testsupport::LibraryMapped("libfluidsynth")) << "loaded for the first song";
    p.reset();
    EXPECT_EQ(log.playEnds, 1);
    EXPECT_EQ(boxes.count(), 0u);

    const Samples out = capture.read();
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(FundamentalHz(out, 0, first + Frames(0.1), first + Frames(1.4)), KnownSong::Hz(KnownSong::kKey), 3.0);
    // The note is held for the song's 1500 ms (2000 ms if the tempo change were lost), then rings out.
    EXPECT_NEAR(LastLoudFrame(out) - first, Frames(1.5), Frames(0.1));
    EXPECT_GE(SoundSpan(out), Frames(1.5) - kBlock);
    EXPECT_LE(SoundSpan(out), Frames(1.5 + kMaxTailSeconds) + kBlock);
}

TEST_F(MidiPlayer, SeekLandsOnTheRequestedTime)
{
    ASSERT_TRUE(p->Open(song("steps.mid", testsupport::SteppedSongBytes())));
    p->Play();
    ASSERT_TRUE(WaitUntil([&] { return p->Position() >= 300; }));
    p->SetPosition(1100);
    EXPECT_GE(p->Position(), 1100u);
    EXPECT_LT(p->Position(), 1500u);
    ASSERT_TRUE(WaitUntil([&] { return log.playEnds > 0; }));
    p.reset();

    const Samples out = capture.read();
    const long first = FirstSoundFrame(out), lastLoud = LastLoudFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(FundamentalHz(out, 0, first + Frames(0.02), first + Frames(0.2)), KnownSong::Hz(KnownSong::kKey), 3.0);
    // After the seek only the last 400 ms sound: the notes a fifth up.
    EXPECT_NEAR(FundamentalHz(out, 0, lastLoud - Frames(0.3), lastLoud - Frames(0.02)),
                KnownSong::Hz(KnownSong::kKey + 7), 4.0);
    EXPECT_LT(lastLoud - first, Frames(1.2)) << "the middle of the song was skipped";
}

TEST_F(MidiPlayer, KaraokeAndRmidFilesPlayWithTheirTitles)
{
    ASSERT_TRUE(p->Open(song("party.kar", testsupport::KnownKaraokeBytes("Party"))));
    EXPECT_EQ(p->StreamInfo().Title, "Party");
    EXPECT_EQ(p->PlayLength(), uint32_t(KnownSong::kLengthMs));
    ASSERT_TRUE(p->Open(song("wrapped.rmi", testsupport::RmidBytes(testsupport::KnownSongBytes("Wrapped")))));
    EXPECT_EQ(p->StreamInfo().Title, "Wrapped");
    EXPECT_EQ(p->PlayLength(), uint32_t(KnownSong::kLengthMs));
    playToEnd();
    p.reset();
    const Samples out = capture.read();
    const long first = FirstSoundFrame(out);
    ASSERT_GE(first, 0);
    EXPECT_NEAR(LastLoudFrame(out) - first, Frames(1.5), Frames(0.1));
}

TEST(MidiPluginLoad, LoadingThePluginLeavesFluidSynthForTheFirstSong)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("tone.mid"), testsupport::KnownSongBytes("Tone"));
    // In a fresh process: this one may have played a song already.
    EXPECT_EXIT(
        {
            void* library = dlopen(ORVELLA_PROGRAM_DIR "Plugins/in_midi.so", RTLD_NOW | RTLD_LOCAL);
            auto get = library ? reinterpret_cast<GetInModuleFunc>(dlsym(library, PLUGIN_EXPORT_NAME)) : nullptr;
            if (!get)
                _exit(2);
            TInModule* m = get();
            m->Init();
            char title[256];
            int length = 0;
            m->GetFileInfo(dir.file("tone.mid").c_str(), title, &length);
            const bool ok = length == KnownSong::kLengthMs && !testsupport::LibraryMapped("libfluidsynth");
            // The child made a folder of its own, which _exit would leave behind.
            std::filesystem::remove_all(dir.path());
            _exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

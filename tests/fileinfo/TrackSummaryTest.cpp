// One summary of a file from the readers, in the track display's order and
// in the title refresh's.
#include "fileinfo/TrackSummary.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace fileinfo;
using fixtures::Fixture;
using fixtures::Put;

namespace {

TrackSummary DisplayOrder(const std::string& path)
{
    ReaderFile file(path);
    return ReadTrackSummary(
        file, {Reader::Mpeg, Reader::MonkeyOrApeTag, Reader::Wma, Reader::OggVorbis, Reader::Wav, Reader::TwinVQ});
}

TrackSummary RefreshOrder(const std::string& path)
{
    ReaderFile file(path);
    return ReadTrackSummary(
        file, {Reader::Mpeg, Reader::Wma, Reader::OggVorbis, Reader::Monkey, Reader::Wav, Reader::TwinVQ});
}

// Whether and how the file was named, and which reader knew it last.
std::tuple<bool, std::string, std::string, Reader> Naming(const TrackSummary& s)
{
    return {s.recognised, s.title, s.artist, s.kind};
}

// The last knowing reader's properties.
std::tuple<int, int, std::string, bool> Properties(const TrackSummary& s)
{
    return {s.sampleRate, s.bitRate, s.channelMode, s.damaged};
}

using Named = std::tuple<bool, std::string, std::string, Reader>;
using Props = std::tuple<int, int, std::string, bool>;

} // namespace

TEST(TrackSummary, AnApeTagNamesAnUntaggedMp3OnlyWhereItIsAskedFor)
{
    const TrackSummary display = DisplayOrder(Fixture("apev2.mp3"));
    EXPECT_EQ(Naming(display), Named(true, "Grüße", "Ape Artist", Reader::Mpeg))
        << "the tag does not make it Monkey's Audio";
    EXPECT_TRUE(display.mpegPlausible);
    EXPECT_EQ(Properties(display), Props(16000, 32, "Mono", false));

    const TrackSummary refresh = RefreshOrder(Fixture("apev2.mp3"));
    EXPECT_EQ(Naming(refresh), Named(false, "", "", Reader::Mpeg));
    EXPECT_GT(refresh.seconds, 0.1);
    EXPECT_EQ(refresh.seconds, display.seconds);
}

TEST(TrackSummary, MonkeysAudioIsNamedByItsOwnId3v1TagInTheRefreshOrderOnly)
{
    const TrackSummary refresh = RefreshOrder(Fixture("monkey_3800_id3v1.ape"));
    EXPECT_EQ(Naming(refresh), Named(true, "Monkey Title", "Monkey Artist", Reader::Monkey));
    EXPECT_EQ(Properties(refresh), Props(22050, 24, "Mono", false)) << "its bits per sample as the bit rate";
    EXPECT_FALSE(refresh.mpegPlausible);

    const TrackSummary display = DisplayOrder(Fixture("monkey_3800_id3v1.ape"));
    EXPECT_EQ(Naming(display), Named(false, "", "", Reader::Monkey)) << "no APE tag";
    EXPECT_EQ(Properties(display), Properties(refresh));
    EXPECT_EQ(display.seconds, refresh.seconds);
}

TEST(TrackSummary, WavIsNamedByItsFileAndTwinVqByItsChunksUnlessItsHeaderIsDamaged)
{
    for (const TrackSummary& wav :
         {DisplayOrder(Fixture("pcm_s16_stereo.wav")), RefreshOrder(Fixture("pcm_s16_stereo.wav"))}) {
        EXPECT_EQ(Naming(wav), Named(true, "", "", Reader::Wav));
        EXPECT_TRUE(wav.namedByFile);
        EXPECT_EQ(wav.sampleRate, 22050);
        EXPECT_DOUBLE_EQ(wav.seconds, (22096.0 - 44) / 88200);
    }

    const TrackSummary vqf = RefreshOrder(Fixture("twinvq_stereo.vqf"));
    EXPECT_EQ(Naming(vqf), Named(true, "Vqf Title", "Vqf Author", Reader::TwinVQ));
    EXPECT_FALSE(vqf.namedByFile);
    EXPECT_EQ(Properties(vqf), Props(44100, 48, "Stereo", false));

    // Rate code 96 (at byte 32, in the common chunk) is beyond what TwinVQ allows.
    std::string bytes = testsupport::ReadFile(Fixture("twinvq_stereo.vqf"));
    ASSERT_EQ(bytes.substr(32, 4), std::string("\0\0\0\x2c", 4));
    bytes[35] = 96;
    testsupport::TempDir dir;
    const TrackSummary damaged = DisplayOrder(Put(dir, bytes));
    EXPECT_EQ(Naming(damaged), Named(false, "", "", Reader::TwinVQ));
    EXPECT_TRUE(damaged.damaged);
}

TEST(TrackSummary, TheFirstReaderToNameTheFileEndsTheSearchAndUnknownBytesHaveNoKind)
{
    const TrackSummary ogg = DisplayOrder(Fixture("vorbis_comments.ogg"));
    EXPECT_EQ(Naming(ogg), Named(true, "Café € Title", "Ogg Artist", Reader::OggVorbis));
    EXPECT_FALSE(ogg.mpegPlausible);

    // An MP3 with both tags stops at the MPEG reader, named by its ID3v1 tag
    // there (the APE tag would have named it next).
    EXPECT_EQ(Naming(DisplayOrder(Fixture("apev2_id3v1.mp3"))), Named(true, "V1 Title", "V1 Artist", Reader::Mpeg));

    testsupport::TempDir dir;
    const TrackSummary unknown = RefreshOrder(Put(dir, std::string(5000, 'x')));
    EXPECT_EQ(Naming(unknown), Named(false, "", "", Reader::None));
    EXPECT_EQ(Properties(unknown), Props(0, 0, "", false));
    EXPECT_EQ(unknown.seconds, 0);
    EXPECT_FALSE(unknown.mpegPlausible);
}

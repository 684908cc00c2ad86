// One summary of a file from the readers, in the track display's order and
// in the title refresh's.
#include "fileinfo/TrackSummary.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

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

} // namespace

TEST(TrackSummary, AnApeTagNamesAnUntaggedMp3OnlyWhereItIsAskedFor)
{
    const TrackSummary display = DisplayOrder(Fixture("apev2.mp3"));
    EXPECT_TRUE(display.recognised);
    EXPECT_EQ(display.title, "Grüße");
    EXPECT_EQ(display.artist, "Ape Artist");
    EXPECT_EQ(display.kind, Reader::Mpeg) << "the tag does not make it Monkey's Audio";
    EXPECT_TRUE(display.mpegPlausible);
    EXPECT_EQ(display.bitRate, 32);
    EXPECT_EQ(display.channelMode, "Mono");

    const TrackSummary refresh = RefreshOrder(Fixture("apev2.mp3"));
    EXPECT_FALSE(refresh.recognised);
    EXPECT_EQ(refresh.title, "");
    EXPECT_EQ(refresh.kind, Reader::Mpeg);
    EXPECT_GT(refresh.seconds, 0.1);
    EXPECT_EQ(refresh.seconds, display.seconds);
}

TEST(TrackSummary, MonkeysAudioIsNamedByItsOwnId3v1TagInTheRefreshOrderOnly)
{
    const TrackSummary refresh = RefreshOrder(Fixture("monkey_3800_id3v1.ape"));
    EXPECT_TRUE(refresh.recognised);
    EXPECT_EQ(refresh.title, "Monkey Title");
    EXPECT_EQ(refresh.artist, "Monkey Artist");
    EXPECT_EQ(refresh.kind, Reader::Monkey);
    EXPECT_EQ(refresh.sampleRate, 22050);
    EXPECT_EQ(refresh.bitRate, 24) << "its bits per sample";
    EXPECT_FALSE(refresh.mpegPlausible);

    const TrackSummary display = DisplayOrder(Fixture("monkey_3800_id3v1.ape"));
    EXPECT_FALSE(display.recognised) << "no APE tag";
    EXPECT_EQ(display.kind, Reader::Monkey);
    EXPECT_EQ(display.bitRate, 24);
    EXPECT_EQ(display.seconds, refresh.seconds);
}

TEST(TrackSummary, WavIsNamedByItsFileAndTwinVqByItsChunksUnlessItsHeaderIsDamaged)
{
    for (const TrackSummary& wav :
         {DisplayOrder(Fixture("pcm_s16_stereo.wav")), RefreshOrder(Fixture("pcm_s16_stereo.wav"))}) {
        EXPECT_TRUE(wav.recognised);
        EXPECT_TRUE(wav.namedByFile);
        EXPECT_EQ(wav.title, "");
        EXPECT_EQ(wav.artist, "");
        EXPECT_EQ(wav.kind, Reader::Wav);
        EXPECT_EQ(wav.sampleRate, 22050);
        EXPECT_DOUBLE_EQ(wav.seconds, (22096.0 - 44) / 88200);
    }

    const TrackSummary vqf = RefreshOrder(Fixture("twinvq_stereo.vqf"));
    EXPECT_TRUE(vqf.recognised);
    EXPECT_FALSE(vqf.namedByFile);
    EXPECT_EQ(vqf.title, "Vqf Title");
    EXPECT_EQ(vqf.artist, "Vqf Author");
    EXPECT_EQ(vqf.kind, Reader::TwinVQ);
    EXPECT_EQ(vqf.bitRate, 48);
    EXPECT_EQ(vqf.sampleRate, 44100);
    EXPECT_FALSE(vqf.damaged);

    // Rate code 96 (at byte 32, in the common chunk) is beyond what TwinVQ allows.
    std::string bytes = testsupport::ReadFile(Fixture("twinvq_stereo.vqf"));
    ASSERT_EQ(bytes.substr(32, 4), std::string("\0\0\0\x2c", 4));
    bytes[35] = 96;
    testsupport::TempDir dir;
    const TrackSummary damaged = DisplayOrder(Put(dir, bytes));
    EXPECT_FALSE(damaged.recognised);
    EXPECT_TRUE(damaged.damaged);
    EXPECT_EQ(damaged.kind, Reader::TwinVQ);
    EXPECT_EQ(damaged.title, "");
}

TEST(TrackSummary, TheFirstReaderToNameTheFileEndsTheSearchAndUnknownBytesHaveNoKind)
{
    const TrackSummary ogg = DisplayOrder(Fixture("vorbis_comments.ogg"));
    EXPECT_TRUE(ogg.recognised);
    EXPECT_EQ(ogg.kind, Reader::OggVorbis);
    EXPECT_EQ(ogg.artist, "Ogg Artist");
    EXPECT_FALSE(ogg.mpegPlausible);

    // An MP3 with both tags stops at the MPEG reader, named by its ID3v1 tag
    // there (the APE tag would have named it next).
    const TrackSummary mp3 = DisplayOrder(Fixture("apev2_id3v1.mp3"));
    EXPECT_EQ(mp3.title, "V1 Title");
    EXPECT_EQ(mp3.kind, Reader::Mpeg);

    testsupport::TempDir dir;
    const TrackSummary unknown = RefreshOrder(Put(dir, std::string(5000, 'x')));
    EXPECT_FALSE(unknown.recognised);
    EXPECT_EQ(unknown.kind, Reader::None);
    EXPECT_EQ(unknown.seconds, 0);
    EXPECT_EQ(unknown.sampleRate, 0);
    EXPECT_FALSE(unknown.mpegPlausible);
}

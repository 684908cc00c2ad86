// The Opus reader against libopusfile decoding the same files on its own: the
// reader decodes plain streams itself, and must give what libopusfile gives,
// sample for sample, through seeks and from one link of a chained file to the
// next.

#include "decoder/MediaDecoder.h"
#include "DecodedSamples.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <opus/opusfile.h>

#include <cstdlib>

using namespace media;
using mediatest::DecodeAll;

namespace {

class OpusReader : public ::testing::Test {
  protected:
    testsupport::TempDir dir;

    std::string encode(const std::string& name, int channels, const char* source)
    {
        const std::string path = dir.file(name);
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i '" + std::string(source) + "' -ac " +
                                    std::to_string(channels) + " -c:a libopus -b:a 96k '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }
};

std::vector<int16_t> readAllWithLibopusfile(OggOpusFile* file, bool mono)
{
    std::vector<int16_t> out;
    opus_int16 block[4096 * 2];
    for (;;) {
        const int n = mono ? op_read(file, block, 4096, nullptr) : op_read_stereo(file, block, 4096 * 2);
        if (n <= 0)
            break;
        out.insert(out.end(), block, block + n * (mono ? 1 : 2));
    }
    return out;
}

} // namespace

TEST_F(OpusReader, GivesLibopusfilesSamplesThroughSeeksAndLinks)
{
    const std::string stereo = encode("stereo.opus", 2, "anoisesrc=d=3:c=pink:a=0.4");
    const std::string mono = encode("mono.opus", 1, "sine=f=440:d=2");
    // Two files one after the other are one chained stream of two links.
    const std::string chained = dir.file("chained.opus");
    ASSERT_EQ(std::system(("cat '" + mono + "' '" + stereo + "' > '" + chained + "'").c_str()), 0);

    for (const std::string& path : {stereo, mono, chained}) {
        SCOPED_TRACE(path);
        std::string why;
        std::unique_ptr<Decoder> ours = OpenOpus({path, nullptr, 0}, why);
        ASSERT_TRUE(ours) << why;
        const bool isMono = ours->description().properties.outputChannels == 1;
        int error = 0;
        OggOpusFile* theirs = op_open_file(path.c_str(), &error);
        ASSERT_NE(theirs, nullptr) << error;

        const std::vector<int16_t> a = DecodeAll(*ours), b = readAllWithLibopusfile(theirs, isMono);
        EXPECT_GT(a.size(), 48000u);
        EXPECT_TRUE(a == b) << "sample for sample";

        // A seek back to a place in the first link, and on from there.
        ASSERT_TRUE(ours->seek(1234));
        ASSERT_EQ(op_pcm_seek(theirs, 1234 * 48), 0);
        EXPECT_TRUE(DecodeAll(*ours) == readAllWithLibopusfile(theirs, isMono)) << "after a seek";
        op_free(theirs);
    }
}

// The Opus reader against libopusfile decoding the same files on its own: the
// reader decodes plain streams itself, and must give what libopusfile gives,
// sample for sample, through seeks and from one link of a chained file to the
// next.

#include "DecodedSamples.h"
#include "decoder/MediaDecoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <opus/opusfile.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

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

// A copy of an Ogg Opus file whose header asks for `gainQ8` (dB in Q7.8) of
// output gain; the header's page is given its checksum again.
std::string WithOutputGain(const std::string& path, int16_t gainQ8)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t head = bytes.find("OpusHead");
    if (head == std::string::npos || bytes.size() < 27 || head + 18 > bytes.size())
        return {};
    bytes[head + 16] = char(gainQ8 & 0xff);
    bytes[head + 17] = char(gainQ8 >> 8 & 0xff);
    const std::size_t segments = uint8_t(bytes[26]);
    std::size_t pageSize = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i)
        pageSize += uint8_t(bytes[27 + i]);
    std::memset(&bytes[22], 0, 4);
    uint32_t crc = 0;
    for (std::size_t i = 0; i < pageSize && i < bytes.size(); ++i) {
        crc ^= uint32_t(uint8_t(bytes[i])) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04c11db7u : crc << 1;
    }
    for (int i = 0; i < 4; ++i)
        bytes[22 + i] = char(crc >> (8 * i) & 0xff);
    const std::string out = path + ".gain.opus";
    std::ofstream(out, std::ios::binary) << bytes;
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
    // The header's output gain is the reader's to apply, as libopusfile does.
    const std::string quieter = WithOutputGain(stereo, -6 * 256);
    ASSERT_FALSE(quieter.empty());

    for (const std::string& path : {stereo, mono, chained, quieter}) {
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

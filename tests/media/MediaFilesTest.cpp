// What in_media's general decoder refuses before FFmpeg looks at a file.
#include "decoder/MediaDecoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace media;

namespace {

MediaInput inMemory(const std::string& bytes)
{
    return {"", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

} // namespace

TEST(MediaFiles, ATwinVqFileThatEndsInsideItsHeaderIsRefusedBeforeFfmpegReadsIt)
{
    // The header tells 117 bytes after its first 16. Cut before the end of
    // that size or inside those bytes (in a comment chunk's text, say, as a
    // download that broke off), the file never reaches FFmpeg, whose demuxer
    // would read a size from beyond the end or keep the buffer of that chunk.
    const std::string whole = testsupport::ReadFile(testsupport::TestData("fileinfo/twinvq_stereo.vqf"));
    Description d;
    std::string why;
    for (std::size_t size : {std::size_t(4), std::size_t(11), std::size_t(16), std::size_t(60), std::size_t(132)}) {
        SCOPED_TRACE(size);
        const std::string cut = whole.substr(0, size);
        why.clear();
        EXPECT_FALSE(DescribeMedia(inMemory(cut), d, why));
        EXPECT_EQ(why, "The file ends inside its header.");
        EXPECT_EQ(OpenMedia(inMemory(cut), why), nullptr);
    }
    // With its header whole, the file is FFmpeg's to judge (this one has no sound).
    for (const std::string& enough : {whole.substr(0, 133), whole}) {
        why.clear();
        DescribeMedia(inMemory(enough), d, why);
        EXPECT_EQ(why, "The file is none of the formats this plug-in plays.");
    }
}

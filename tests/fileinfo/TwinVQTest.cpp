#include "fileinfo/TwinVQ.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TTwinVQ;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;
using testsupport::TempDir;

namespace {

std::string Chunk(const std::string& id, const std::string& data)
{
    return ByteBuilder().text(id).u32be(static_cast<uint32_t>(data.size())).text(data).str();
}

// Header with the common chunk, then the given chunks and 4000 bytes of audio.
std::string Vqf(uint32_t mode, uint32_t kbps, uint32_t rateCode, const std::string& chunks = "",
                const char* magic = "TWIN97012000")
{
    return ByteBuilder()
        .text(magic)
        .u32be(24 + static_cast<uint32_t>(chunks.size()))
        .text("COMM")
        .u32be(16)
        .u32be(mode)
        .u32be(kbps)
        .u32be(rateCode)
        .u32be(0)
        .text(chunks)
        .text("DATA")
        .fill(4000, 0x55)
        .str();
}

} // namespace

TEST(TwinVQ, ReadsHeaderAndTextChunks)
{
    TTwinVQ vqf;
    ASSERT_TRUE(vqf.Read(Fixture("twinvq_stereo.vqf")));
    EXPECT_TRUE(vqf.Recognised());
    EXPECT_FALSE(vqf.IsDamaged());
    EXPECT_EQ(vqf.ChannelCount(), 2);
    EXPECT_EQ(vqf.ChannelModeText(), "Stereo");
    EXPECT_EQ(vqf.BitRateKbps(), 48);
    EXPECT_EQ(vqf.SampleRate(), 44100);
    EXPECT_DOUBLE_EQ(vqf.DurationSeconds(), 1.0);
    EXPECT_EQ(vqf.Title(), "Vqf Title"); // the NAME chunk after DATA is not read
    EXPECT_EQ(vqf.Author(), "Vqf Author");
    EXPECT_EQ(vqf.Comment(), "Vqf comment");
    EXPECT_EQ(vqf.Copyright(), "Vqf Copyright");
    EXPECT_EQ(vqf.SourceFile(), "source.wav");

    ASSERT_TRUE(vqf.Read(Fixture("wmav2_mono.wma")));
    EXPECT_FALSE(vqf.Recognised());
    EXPECT_FALSE(vqf.IsDamaged());
    EXPECT_EQ(vqf.Title(), "");
}

TEST(TwinVQ, SampleRateCodesAndDamage)
{
    TempDir dir;
    TTwinVQ vqf;
    for (auto [code, rate] : {std::pair{8u, 8000}, {11u, 11025}, {16u, 16000}, {22u, 22050}, {32u, 32000}}) {
        ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 20, code))));
        EXPECT_EQ(vqf.SampleRate(), rate);
        EXPECT_FALSE(vqf.IsDamaged()) << code;
    }
    ASSERT_TRUE(vqf.Read(Put(dir, Vqf(1, 20, 48))));
    EXPECT_EQ(vqf.SampleRate(), 48000);
    EXPECT_TRUE(vqf.IsDamaged());

    // 300 kbit/s is kept in 8 bits, while the duration uses the whole rate.
    std::string bytes = Vqf(1, 300, 44);
    ASSERT_TRUE(vqf.Read(Put(dir, bytes)));
    EXPECT_EQ(vqf.BitRateKbps(), 300 % 256);
    EXPECT_DOUBLE_EQ(vqf.DurationSeconds(), (bytes.size() - 24.0 - 20) / 125 / 300);

    for (const std::string& damaged : {Vqf(0, 0, 22), Vqf(2, 20, 22), Vqf(0, 97, 22)}) {
        ASSERT_TRUE(vqf.Read(Put(dir, damaged)));
        EXPECT_TRUE(vqf.IsDamaged());
    }
    ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 0, 22))));
    EXPECT_EQ(vqf.DurationSeconds(), 0);
}

TEST(TwinVQ, ChunkWalk)
{
    TempDir dir;
    TTwinVQ vqf;
    ASSERT_TRUE(vqf.Read(Put(
        dir, Vqf(0, 20, 22, Chunk("NAME", std::string(300, 'n')) + Chunk("AUTH", "Next") + Chunk("AUTH", "Later")))));
    EXPECT_EQ(vqf.Title(), std::string(250, 'n'));
    EXPECT_EQ(vqf.Author(), "Later");
    // A control byte in an identifier ends the walk.
    ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 20, 22,
                                      Chunk("NA\x01"
                                            "E",
                                            "x") +
                                          Chunk("COMT", "Lost")))));
    EXPECT_EQ(vqf.Comment(), "");

    ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 20, 22, "", "TWIN97012001"))));
    EXPECT_FALSE(vqf.Recognised());
    EXPECT_FALSE(vqf.Read(Put(dir, Vqf(0, 20, 22).substr(0, 39))));
}

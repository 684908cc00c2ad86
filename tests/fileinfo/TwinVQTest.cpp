#include "fileinfo/TwinVQ.h"
#include "Fixtures.h"

#include <gtest/gtest.h>

using fileinfo::TTwinVQ;
using fixtures::Fixture;
using fixtures::Put;
using testsupport::ByteBuilder;

namespace {

std::string Chunk(const std::string& id, const std::string& data)
{
    return ByteBuilder().text(id).u32be(static_cast<uint32_t>(data.size())).text(data).str();
}

// Header with the common chunk, the given chunks, then "DATA" and 4000 bytes of audio.
std::string Vqf(uint32_t mode, uint32_t kbps, uint32_t rateCode, const std::string& chunks = "",
                const char* magic = "TWIN97012000")
{
    ByteBuilder b;
    b.text(magic).u32be(24 + static_cast<uint32_t>(chunks.size())).text("COMM").u32be(16).u32be(mode).u32be(kbps);
    return b.u32be(rateCode).u32be(0).text(chunks).text("DATA").fill(4000, 0x55).str();
}

} // namespace

TEST(TwinVQ, ReadsHeaderAndTextChunks)
{
    TTwinVQ vqf;
    ASSERT_TRUE(vqf.Read(Fixture("twinvq_stereo.vqf")));
    EXPECT_FALSE(vqf.IsDamaged());
    EXPECT_EQ(vqf.BitRateKbps(), 48);
    EXPECT_EQ(vqf.SampleRate(), 44100);
    EXPECT_DOUBLE_EQ(vqf.DurationSeconds(), 1.0);
    EXPECT_EQ(vqf.Title(), "Vqf Title"); // the NAME chunk after DATA is not read
    EXPECT_EQ(vqf.Author(), "Vqf Author");
    EXPECT_EQ(vqf.SourceFile(), "source.wav");
}

TEST(TwinVQ, SampleRateCodesAndDamage)
{
    testsupport::TempDir dir;
    TTwinVQ vqf;
    for (auto [code, rate] :
         {std::pair{8u, 8000u}, {11u, 11025u}, {22u, 22050u}, {32u, 32000u}, {48u, 48000u}, {96u, 96000u}}) {
        ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 20, code))));
        EXPECT_EQ(vqf.SampleRate(), rate);
        EXPECT_EQ(vqf.IsDamaged(), rate > 44100) << code;
    }
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
    testsupport::TempDir dir;
    TTwinVQ vqf;
    std::string chunks = Chunk("NAME", std::string(300, 'n')) + Chunk("AUTH", "Next") + Chunk("AUTH", "Later");
    ASSERT_TRUE(vqf.Read(Put(dir, Vqf(0, 20, 22, chunks))));
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

// The plug-in's own sample decoders against answers worked out by hand from
// their definitions, with their lengths, seeks and ends.

#include "PcmkitTest.h"

#include "Decoders.h"
#include "G721.h"
#include "ImaAdpcm.h"
#include "Sources.h"

#include "support/ByteBuilder.h"

#include <gtest/gtest.h>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::ByteBuilder;

namespace {

byte_source* Memory(const std::string& bytes)
{
    auto* copy = static_cast<uint8_t*>(std::malloc(bytes.size() + 1));
    std::memcpy(copy, bytes.data(), bytes.size());
    return create_memory_source(copy, static_cast<int64_t>(bytes.size()));
}

// Reads frames (all when -1) and gives them as 16-bit samples.
std::vector<int16_t> Read16(decoder* d, int frames = -1)
{
    abort_flag never{false};
    std::vector<int16_t> out;
    std::vector<int16_t> block(static_cast<size_t>(d->format.channels) * 100);
    while (frames != 0) {
        int want = frames < 0 ? 100 : std::min(frames, 100);
        int n = d->ops->read(d, block.data(), want * 2 * d->format.channels, &never);
        if (n <= 0)
            break;
        out.insert(out.end(), block.begin(), block.begin() + n / 2);
        if (frames > 0)
            frames -= n / 2 / d->format.channels;
    }
    return out;
}

std::vector<int> Read8(decoder* d)
{
    abort_flag never{false};
    std::vector<int> out;
    uint8_t block[7]; // an odd size: deltas must carry a half byte over
    for (int n; (n = d->ops->read(d, block, sizeof block, &never)) > 0;)
        out.insert(out.end(), block, block + n);
    return out;
}

} // namespace

TEST(ImaStep, CodesMoveThePredictorByTheQuantisedStep)
{
    ima_state s;
    std::vector<int> out;
    for (int code : {7, 7, 15, 0})
        out.push_back(ima_step(s, code));
    // 7: 0 + (7>>3 + 7 + 7>>1 + 7>>2) = 11, index 8 (step 16); 7: +30, index 16 (step 34);
    // 15: -(4 + 34 + 17 + 8), index 24 (step 73); 0: +73>>3, index 23.
    EXPECT_EQ(out, (std::vector<int>{11, 41, -22, -13}));
    EXPECT_EQ(s.index, 23);

    ima_state top{32767, 88};
    EXPECT_EQ(ima_step(top, 7), 32767);
    EXPECT_EQ(top.index, 88);
    ima_state bottom{-32768, 0};
    EXPECT_EQ(ima_step(bottom, 15), -32768);
    EXPECT_EQ(bottom.index, 8);
}

TEST(Ima4, PacketHeadersSetPredictorAndIndexAndSeeksLandOnPackets)
{
    // Two channels, ten packets each: header 0x0105 = predictor 256, index 5;
    // first codes 7 then 0. The right channel's header 0xFFFF asks for index 127.
    ByteBuilder b;
    for (int packet = 0; packet < 10; ++packet) {
        b.u16be(0x0105).u8(0x07).fill(31, static_cast<uint8_t>(packet));
        b.u16be(0xFFFF).zeros(32);
    }
    decoder* d = create_ima4_decoder(Memory(b.str()), 16000, 2);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ops->length(d), 640); // ten groups of 64 frames
    std::vector<int16_t> all = Read16(d);
    ASSERT_EQ(all.size(), 1280u);
    // 7 with step 12: 256 + 1 + 12 + 6 + 3 = 278, index 13; 0 with step 25: +3.
    EXPECT_EQ(all[0], 278);
    EXPECT_EQ(all[2], 281);
    // -128 with the index clamped to 88: code 0 adds 32767 >> 3.
    EXPECT_EQ(all[1], -128 + 4095);

    int64_t position = -1;
    abort_flag never{false};
    ASSERT_EQ(d->ops->seek(d, 100, &position, &never), 0);
    EXPECT_EQ(position, 64 * 2 * 2); // back to the start of the packet
    std::vector<int16_t> after = Read16(d, 10);
    EXPECT_EQ(after, std::vector<int16_t>(all.begin() + 128, all.begin() + 148));
    decoder_destroy(d);

    // More than four channels is not a format this decoder takes.
    EXPECT_EQ(create_ima4_decoder(Memory(b.str()), 16000, 5), nullptr);
}

TEST(AudIma, ChunksCarryTheStateAndABadMarkEndsTheStream)
{
    ByteBuilder b;
    b.u16le(2).u16le(8).u32le(0xDEAF).u8(0x77).u8(0x07); // codes 7, 7, 7, 0
    b.u16le(1).u16le(4).u32le(0xDEAF).u8(0x80);          // codes 0, 8
    b.u16le(1).u16le(4).u32le(0xBEEF).u8(0x77);          // not a chunk: the end
    decoder* d = create_aud_ima_decoder(Memory(b.str()), 40);
    EXPECT_EQ(d->ops->length(d), 20);
    std::vector<int16_t> all = Read16(d);
    // 11, 41, +63 with step 34, +73>>3; then step 66: +8, and -(60>>3 = 7) with step 60.
    EXPECT_EQ(all, (std::vector<int16_t>{11, 41, 104, 113, 121, 114}));

    abort_flag never{false};
    int64_t position = 0;
    ASSERT_EQ(d->ops->seek(d, 2, &position, &never), 0); // backwards: from the start again
    EXPECT_EQ(position, 4);
    EXPECT_EQ(Read16(d), std::vector<int16_t>(all.begin() + 2, all.end()));
    decoder_destroy(d);
}

TEST(Dialogic, HighNibbleFirstWithStepsTimesSixteen)
{
    decoder* d = create_dialogic_decoder(Memory(std::string("\x70\x08\x77", 3)), 6000);
    EXPECT_EQ(d->ops->length(d), 6);
    EXPECT_EQ(frames_to_ms(d->ops->length(d), 6000), 1);
    std::vector<int16_t> first = Read16(d);
    ASSERT_EQ(first.size(), 6u);
    // 7 with step 16: (2 + 16 + 8 + 4) * 16 = 480, index 16; 0 with step 34: +4*16, index 15;
    // 0 with step 31: +3*16, index 14; 8 with step 28: -3*16, index 13.
    EXPECT_EQ(std::vector<int16_t>(first.begin(), first.begin() + 4), (std::vector<int16_t>{480, 544, 592, 544}));

    abort_flag never{false};
    ASSERT_EQ(d->ops->seek(d, 0, nullptr, &never), 0);
    EXPECT_EQ(Read16(d), first);
    ASSERT_EQ(d->ops->seek(d, 3, nullptr, &never), 0); // from the middle of a byte
    EXPECT_EQ(Read16(d), std::vector<int16_t>(first.begin() + 3, first.end()));
    decoder_destroy(d);
}

TEST(G721, FirstSamplesFromTheResetStateAndNoSeeking)
{
    // From reset the step size is 544: 7 -> log 425 + 136, dq 22; 1 -> dq 2; 9 -> -15.
    const std::pair<int, int> firsts[] = {{7, 88}, {8, -88}, {1, 8}, {9, -60}, {0, 0}, {15, 0}};
    for (auto [code, sample] : firsts) {
        g721_state s;
        g721_reset(s);
        EXPECT_EQ(g721_decode(s, code) * 4, sample) << "code " << code;
    }

    ByteBuilder b;
    b.u8(0x17).u8(0x99); // frame 0: left 7, right 1; frame 1: 9, 9
    decoder* d = create_g721_decoder(Memory(b.str()), 8000, 2);
    EXPECT_EQ(d->ops->length(d), 2);
    std::vector<int16_t> samples = Read16(d);
    ASSERT_EQ(samples.size(), 4u);
    EXPECT_EQ(samples[0], 88);
    EXPECT_EQ(samples[1], 8);
    EXPECT_EQ(d->ops->can_seek(d), 0);
    abort_flag never{false};
    EXPECT_NE(d->ops->seek(d, 0, nullptr, &never), 0);
    decoder_destroy(d);
}

TEST(Delta8svx, NibblesLowFirstMoveTheSampleByValueMinusEight)
{
    decoder* d = create_delta_decoder(Memory(std::string("\x9F\x00\x88", 3)), 8000);
    EXPECT_EQ(d->ops->length(d), 6);
    EXPECT_EQ(Read8(d), (std::vector<int>{135, 136, 128, 120, 120, 120}));
    decoder_destroy(d);

    d = create_delta_decoder(Memory(std::string(100, '\x88')), 8000);
    EXPECT_EQ(Read8(d), std::vector<int>(200, 128));
    decoder_destroy(d);

    d = create_delta_decoder(Memory(std::string(10, '\x00')), 8000); // -8 each, held at 0
    std::vector<int> down = Read8(d);
    EXPECT_EQ(down[15], 0);
    EXPECT_EQ(down.back(), 0);
    EXPECT_EQ(down[14], 8);
    decoder_destroy(d);
}

TEST(Westwood8, CommandsExpandAndEveryChunkStartsAt128)
{
    const std::string commands = std::string("\x00\xE4", 2)       // four 2-bit steps: -2 -1 0 +1
                                 + std::string("\x40\xF0", 2)     // two 4-bit steps: -9 +8
                                 + "\xA5\xBF"                     // one 5-bit step each: +5, -1
                                 + std::string("\x81\xC8\x0A", 3) // two bytes as they are
                                 + "\xC2"                         // the sample three times
                                 + std::string("\x40\x00", 2);    // -9 twice, held at 0
    ByteBuilder chunks;
    chunks.u16le(static_cast<unsigned>(commands.size())).u16le(15).u32le(0xDEAF).append(commands);
    chunks.u16le(3).u16le(3).u32le(0xDEAF).u8(1).u8(2).u8(3); // as large packed as unpacked: copied
    chunks.u16le(1).u16le(2).u32le(0xDEAF);
    chunks.u8(0xA1).u8(0); // +1 from 128 again (one sample of two announced), and a byte past the size
    ByteBuilder file;
    file.u16le(22050).u32le(static_cast<uint32_t>(chunks.size() - 1)).u8(0).u8(1).append(chunks.str());

    SettingsScope settings;
    Decoded d = DecodeBytes("old.aud", file.str());
    ASSERT_TRUE(d.opened);
    EXPECT_EQ(d.format.rate, 22050);
    EXPECT_EQ(d.format.bits, 8);
    std::vector<int> samples(d.bytes.begin(), d.bytes.end());
    for (int& s : samples)
        s &= 0xFF;
    EXPECT_EQ(samples,
              (std::vector<int>{126, 125, 125, 126, 117, 125, 130, 129, 200, 10, 10, 10, 10, 1, 0, 1, 2, 3, 129}));
}

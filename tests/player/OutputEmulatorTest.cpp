// The output module driven the way a plug-in drives it, with the emulator's
// relayed messages caught by a window of the test's own. The stream is only
// started when messages are pumped, so the reader can be called directly.

#include "PlayerHarness.h"

#include "player/BassBinding.h"
#include "player/OutputEmulator.h"
#include "support/MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>

using namespace player;
using namespace playertest;

namespace {

const HWND kApplication = reinterpret_cast<HWND>(0x5150);

std::string Pattern(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (char& c : out)
        c = char(random());
    return out;
}

class OutputEmulator : public ::testing::Test {
  protected:
    void SetUp() override
    {
        player = std::make_unique<TAudioPlayer>(kApplication);
        ASSERT_TRUE(player->PlayerReady());
        relay = platform::CreateMessageWindow([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == PLUGIN_OUTPUT_STARTED)
                formats.push_back(*reinterpret_cast<const OutputFormat*>(lParam));
            if (message == PLUGIN_CHANNEL)
                channels.push_back(HSTREAM(wParam));
            return LRESULT(0);
        });
        SetOutputWindows(relay, kApplication);
        out = OutputModule();
    }

    void TearDown() override
    {
        out->Close();
        SetOutputWindows(player->MessageWindow(), kApplication);
        player.reset();
        DestroyWindow(relay);
    }

    int write(const std::string& bytes) { return out->Write(bytes.data(), int(bytes.size())); }
    int writeZeros(int count) { return write(std::string(std::size_t(count), '\0')); }
    std::string read(DWORD length)
    {
        std::string buffer(length, '\x7f');
        buffer.resize(OutputReader(0, buffer.data(), length, nullptr));
        return buffer;
    }
    // Delivers whatever the emulator posted, through its window to the relay.
    std::size_t startsAfterPump()
    {
        PumpMessages();
        return formats.size();
    }

    std::unique_ptr<TAudioPlayer> player;
    testsupport::MessageBoxRecorder boxes;
    HWND relay = nullptr;
    TOutModule* out = nullptr;
    std::vector<OutputFormat> formats;
    std::vector<HSTREAM> channels;
};

} // namespace

TEST_F(OutputEmulator, RingHoldsAtMost88199Bytes)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    PumpMessages();
    ASSERT_EQ(channels.size(), 1u);
    EXPECT_NE(channels[0], 0u);
    EXPECT_EQ(out->CanWrite(), 88199);
    EXPECT_EQ(writeZeros(88200), 1);
    EXPECT_EQ(boxes.count(), 0u) << "posted, not shown on the writing thread";
    PumpMessages();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "Write error : No Space");
    EXPECT_EQ(boxes.boxes()[0].caption, "Error");
    EXPECT_EQ(boxes.boxes()[0].buttons(), MB_OKCANCEL);
    EXPECT_EQ(out->CanWrite(), 88199) << "nothing copied";
    EXPECT_EQ(writeZeros(88199), 0);
    EXPECT_EQ(out->CanWrite(), 0);
    EXPECT_EQ(writeZeros(1), 1);
    EXPECT_EQ(out->Write(nullptr, -5), 1);
    PumpMessages();

    out->Config(nullptr);
    out->About(nullptr);
    ASSERT_EQ(boxes.count(), 4u);
    EXPECT_EQ(boxes.boxes()[2].text, "No configuration is needed.");
    EXPECT_EQ(boxes.boxes()[3].text, "This is a Tovarro output plug-in emulator using BASS");
    EXPECT_TRUE(boxes.boxes()[3].caption == "Confirm" && boxes.boxes()[3].owner == kApplication);
}

TEST_F(OutputEmulator, SoundStartsAfter400MsOrWhenRoomRunsOut)
{
    // 16-bit stereo at 44.1 kHz: 2 x 35,280 bytes.
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    for (int i = 0; i < 30; ++i)
        ASSERT_EQ(writeZeros(2304), 0);
    ASSERT_EQ(writeZeros(70556 - 30 * 2304), 0);
    EXPECT_EQ(startsAfterPump(), 0u);
    ASSERT_EQ(writeZeros(4), 0);
    ASSERT_EQ(startsAfterPump(), 1u);
    EXPECT_EQ(formats[0].BitsPerSample, 16);
    EXPECT_EQ(formats[0].SampleRate, 44100u);
    EXPECT_EQ(formats[0].Channels, 2);
    EXPECT_EQ(player->Channel(), 0u) << "the relay, not the player, heard it";

    // 8-bit mono at 8 kHz: 2 x 1,600 bytes.
    ASSERT_EQ(out->Open(8000, 1, 8, -1, -1), 0);
    ASSERT_EQ(writeZeros(3199), 0);
    EXPECT_EQ(startsAfterPump(), 1u);
    ASSERT_EQ(writeZeros(1), 0);
    ASSERT_EQ(startsAfterPump(), 2u);
    EXPECT_EQ(formats[1].BitsPerSample, 8);
    EXPECT_EQ(formats[1].Channels, 1);

    // 96 kHz stereo: 400 ms would not fit; sound starts with 8,192 bytes of room left.
    ASSERT_EQ(out->Open(96000, 2, 16, -1, -1), 0);
    ASSERT_EQ(writeZeros(80007), 0);
    EXPECT_EQ(startsAfterPump(), 2u);
    ASSERT_EQ(writeZeros(1), 0);
    EXPECT_EQ(startsAfterPump(), 3u);
}

TEST_F(OutputEmulator, EndOfAShortStreamStartsIt)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(startsAfterPump(), 0u) << "nothing to play";
    ASSERT_EQ(writeZeros(10000), 0);
    EXPECT_EQ(startsAfterPump(), 0u);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(startsAfterPump(), 1u);
}

TEST_F(OutputEmulator, AfterTheEndOfInputTheReaderGetsExactlyWhatIsLeft)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const std::string data = Pattern(10000, 1);
    ASSERT_EQ(write(data), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(read(16384), data);
    EXPECT_EQ(read(4096), "");
}

TEST_F(OutputEmulator, WaitingReaderIsFedOrLetGoAtOnce)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const std::string data = Pattern(8192, 3);
    ASSERT_EQ(write(data.substr(0, 1000)), 0);
    std::string got;
    std::thread reader([&] { got = read(4096); });
    ASSERT_TRUE(WaitUntil([] { return OutputReaderWaiting(); }));
    ASSERT_EQ(write(data.substr(1000)), 0);
    reader.join();
    EXPECT_EQ(got, data.substr(0, 4096)) << "woken by the data";

    // A flush lets a starved reader go with what there is: no silence padding, no 3 s.
    reader = std::thread([&] { got = read(8192); });
    ASSERT_TRUE(WaitUntil([] { return OutputReaderWaiting(); }));
    out->Flush(0);
    reader.join();
    EXPECT_EQ(got, "");

    ASSERT_EQ(write(data.substr(0, 100)), 0);
    reader = std::thread([&] { got = read(4096); });
    ASSERT_TRUE(WaitUntil([] { return OutputReaderWaiting(); }));
    out->Close();
    reader.join();
    EXPECT_EQ(got, data.substr(0, 100));
}

TEST_F(OutputEmulator, StarvedReaderStallsWithSilenceInsteadOfEnding)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const std::string data = Pattern(1000, 4);
    ASSERT_EQ(write(data), 0);
    const std::string got = read(4096); // waits a moment, not seconds
    ASSERT_EQ(got.size(), 4096u);
    EXPECT_EQ(got.substr(0, 1000), data);
    EXPECT_EQ(got.substr(1000), std::string(3096, '\0'));
}

TEST_F(OutputEmulator, StreamEndsOnceInputHasStoppedAndTheRingIsDrained)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    // A plug-in that asks IsPlaying has written all it has: a short stream starts.
    ASSERT_EQ(writeZeros(1000), 0);
    EXPECT_EQ(startsAfterPump(), 0u);
    EXPECT_EQ(out->IsPlaying(), 1) << "sound in the ring";
    // Read before the start is delivered, so the engine does not read too.
    EXPECT_EQ(read(4096).size(), 1000u) << "drained: the stream ends, no silence after it";
    EXPECT_EQ(startsAfterPump(), 1u);

    // An empty write between blocks ends nothing: the data after it takes it back.
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    ASSERT_EQ(writeZeros(1000), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    ASSERT_EQ(writeZeros(1000), 0);
    EXPECT_EQ(read(4096).size(), 4096u) << "stalls with silence";

    // A plug-in that just stops writing ends its stream too, after a while.
    std::this_thread::sleep_for(std::chrono::milliseconds(550));
    EXPECT_EQ(read(4096), "");
    // Data after the end starts the stream again.
    const std::size_t before = startsAfterPump();
    ASSERT_EQ(writeZeros(1000), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(startsAfterPump(), before + 1);
}

TEST_F(OutputEmulator, TimesRestartFromTheFlushTime)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    ASSERT_EQ(writeZeros(17640), 0); // 100 ms
    EXPECT_EQ(out->GetWrittenTime(), 100);
    EXPECT_EQ(out->GetOutputTime(), 0);
    out->Flush(30000);
    EXPECT_EQ(out->GetOutputTime(), 30000);
    EXPECT_EQ(out->GetWrittenTime(), 30000);
    EXPECT_EQ(out->CanWrite(), 88199);
    ASSERT_EQ(writeZeros(17640), 0);
    EXPECT_EQ(out->GetWrittenTime(), 30100);
    EXPECT_EQ(OutputTime(), 30000);
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    EXPECT_EQ(out->GetWrittenTime(), 0) << "Open starts the times again";
}

TEST_F(OutputEmulator, VolumeAndPanScaleToTheEngine)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    for (auto [given, expected] : {std::pair{255, 100}, {-666, 99}, {128, 50}, {400, 100}}) {
        int music = 0, sample = 0, stream = 0;
        out->SetVolume(given);
        Bass().BASS_GetGlobalVolumes(&music, &sample, &stream);
        EXPECT_TRUE(music == expected && sample == expected && stream == expected) << given << ": " << stream;
    }
    PumpMessages();
    ASSERT_EQ(channels.size(), 1u);
    for (auto [given, expected] : {std::pair{-128, -100}, {127, 99}, {64, 50}, {-1, -1}}) {
        int pan = 0;
        out->SetPan(given);
        ASSERT_TRUE(BASS_ChannelGetAttributes(channels[0], nullptr, nullptr, &pan));
        EXPECT_EQ(pan, expected) << given;
    }
}

TEST_F(OutputEmulator, FormatsBeyondSixteenBitsPlayTheirTopBits)
{
    EXPECT_EQ(out->Open(44100, 9, 16, -1, -1), -1);
    EXPECT_EQ(out->Open(44100, 2, 4, -1, -1), -1);
    EXPECT_EQ(out->Open(0, 2, 16, -1, -1), -1);

    // 12 bits, left-justified in two bytes, play as they are.
    ASSERT_EQ(out->Open(44100, 2, 12, -1, -1), 0);
    ASSERT_EQ(write(std::string("\x10\x80\xf0\x7f", 4)), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(read(8), std::string("\x10\x80\xf0\x7f", 4));

    ASSERT_EQ(out->Open(48000, 2, 24, -1, -1), 0);
    const std::string samples = std::string("\x11\x22\x33", 3) + std::string("\xaa\xbb\xcc", 3);
    ASSERT_EQ(write(samples + samples), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(read(16), std::string("\x22\x33\xbb\xcc\x22\x33\xbb\xcc", 8));

    ASSERT_EQ(out->Open(44100, 1, 32, -1, -1), 0);
    ASSERT_EQ(write(std::string("\x01\x02\x03\x80", 4)), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    EXPECT_EQ(read(4), std::string("\x03\x80", 2));
}

TEST_F(OutputEmulator, WriterAndReaderThreadsPassEveryByteInOrder)
{
    ASSERT_EQ(out->Open(44100, 2, 16, -1, -1), 0);
    const std::string data = Pattern(3'000'000, 5);
    std::string received;
    received.reserve(data.size());
    std::thread writer([&] {
        std::mt19937 random(6);
        std::size_t at = 0;
        while (at < data.size()) {
            const int room = out->CanWrite();
            const int size = int(std::min<std::size_t>(random() % 9000 + 1, data.size() - at));
            if (room < size) {
                std::this_thread::yield(); // a plug-in would sleep and ask again
                continue;
            }
            ASSERT_EQ(out->Write(data.data() + at, size), 0);
            at += std::size_t(size);
        }
        out->Write(nullptr, 0);
    });
    std::thread reader([&] {
        std::mt19937 random(7);
        std::string chunk;
        while (received.size() < data.size()) {
            chunk = read(DWORD(random() % 6000 + 4) & ~3u);
            received += chunk;
        }
    });
    writer.join();
    reader.join();
    EXPECT_TRUE(received == data);
}

TEST_F(OutputEmulator, MoreThanTwoChannelsAreMixedDownToStereo)
{
    // 5.1 in the usual order: front left and right, centre, LFE, surround left and right.
    ASSERT_EQ(out->Open(48000, 6, 16, -1, -1), 0);
    const int16_t frame[6] = {1000, -1000, 2000, 30000, 400, -400};
    ASSERT_EQ(write(std::string(reinterpret_cast<const char*>(frame), sizeof frame)), 0);
    // The same full-scale sample everywhere stays full scale.
    const int16_t loud[6] = {-32768, -32768, -32768, -32768, -32768, -32768};
    ASSERT_EQ(write(std::string(reinterpret_cast<const char*>(loud), sizeof loud)), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    const std::string got = read(64);
    ASSERT_EQ(got.size(), 8u) << "two stereo 16-bit frames";
    int16_t stereo[4];
    std::memcpy(stereo, got.data(), 8);
    // Centre and surrounds at -3 dB, the LFE left out, scaled by 1 / (1 + 2 x 0.7071).
    EXPECT_EQ(stereo[0], 1117);
    EXPECT_EQ(stereo[1], 54);
    EXPECT_EQ(stereo[2], -32768);
    EXPECT_EQ(stereo[3], -32768);
    PumpMessages();
    ASSERT_FALSE(channels.empty());
    EXPECT_EQ(BASS_ChannelGetFlags(channels.back()) & (BASS_SAMPLE_MONO | BASS_SAMPLE_8BITS), 0u);

    // 8-bit surround becomes 16-bit stereo: unsigned 0x80 is silence.
    ASSERT_EQ(out->Open(8000, 3, 8, -1, -1), 0);
    ASSERT_EQ(write(std::string("\x80\x80\xc0", 3)), 0);
    ASSERT_EQ(out->Write(nullptr, 0), 0);
    const std::string centre = read(64);
    ASSERT_EQ(centre.size(), 4u);
    std::memcpy(stereo, centre.data(), 4);
    EXPECT_EQ(stereo[0], stereo[1]);
    EXPECT_EQ(stereo[0], 6786); // 64 x 256 x 0.7071 / 1.7071, rounded
}

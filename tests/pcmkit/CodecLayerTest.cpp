// The codec manager layer: conversions cut at any buffer edge give the same
// samples as one conversion of everything, seeks restart at a block, formats
// without a codec bring their own message.

#include "PcmkitTest.h"

#include "platform/acm/msacm.h"

#include "support/ByteBuilder.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace pcmkit;
using namespace pcmkit_test;
using testsupport::TestData;

namespace {

struct WaveFile {
    std::string format; // the fmt chunk
    std::string data;
};

WaveFile ReadWave(const std::string& path)
{
    const std::string file = testsupport::ReadFile(path);
    WaveFile w;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        uint32_t size = get_u32le(reinterpret_cast<const uint8_t*>(file.data() + at + 4));
        std::string id = file.substr(at, 4);
        if (id == "fmt ")
            w.format = file.substr(at + 8, size);
        if (id == "data")
            w.data = file.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    return w;
}

// Converts data in source pieces of sourceStep bytes into a destination of
// destinationSize bytes, carrying unused source over as a caller must.
std::string Convert(const WaveFile& w, std::size_t sourceStep, std::size_t destinationSize)
{
    auto* src = reinterpret_cast<const WAVEFORMATEX*>(w.format.data());
    WAVEFORMATEX pcm{};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    EXPECT_EQ(acmFormatSuggest(nullptr, src, &pcm, sizeof pcm, ACM_FORMATSUGGESTF_WFORMATTAG), MMSYSERR_NOERROR);
    HACMSTREAM stream = nullptr;
    EXPECT_EQ(acmStreamOpen(&stream, nullptr, src, &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::string source(std::max<std::size_t>(sourceStep * 2, 4096), '\0');
    std::string destination(destinationSize, '\0');
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = reinterpret_cast<uint8_t*>(source.data());
    header.cbSrcLength = static_cast<DWORD>(source.size());
    header.pbDst = reinterpret_cast<uint8_t*>(destination.data());
    header.cbDstLength = static_cast<DWORD>(destination.size());
    EXPECT_EQ(acmStreamPrepareHeader(stream, &header, 0), MMSYSERR_NOERROR);

    std::string out;
    std::size_t fed = 0, held = 0;
    DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START;
    for (int guard = 0; guard < 1000000; ++guard) {
        std::size_t n = std::min({sourceStep, w.data.size() - fed, source.size() - held});
        std::memcpy(source.data() + held, w.data.data() + fed, n);
        fed += n;
        held += n;
        header.cbSrcLength = static_cast<DWORD>(held);
        const bool end = n == 0 && fed == w.data.size();
        EXPECT_EQ(acmStreamConvert(stream, &header, flags | (end ? ACM_STREAMCONVERTF_END : 0)), MMSYSERR_NOERROR);
        flags = ACM_STREAMCONVERTF_BLOCKALIGN;
        out.append(destination.data(), header.cbDstLengthUsed);
        std::memmove(source.data(), source.data() + header.cbSrcLengthUsed, held - header.cbSrcLengthUsed);
        held -= header.cbSrcLengthUsed;
        if (end && header.cbDstLengthUsed == 0)
            break;
    }
    header.cbSrcLength = static_cast<DWORD>(source.size());
    EXPECT_EQ(acmStreamUnprepareHeader(stream, &header, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(acmStreamClose(stream, 0), MMSYSERR_NOERROR);
    return out;
}

} // namespace

TEST(CodecLayer, BufferEdgesNeitherLoseNorRepeatSamples)
{
    for (const char* file : {"msadpcm.wav", "imaadpcm.wav", "mp3.wav", "gsm.wav", "mulaw-3ch.wav"}) {
        SCOPED_TRACE(file);
        WaveFile w = ReadWave(TestData(std::string("pcmkit/") + file));
        ASSERT_FALSE(w.data.empty());
        const std::string whole = Convert(w, w.data.size(), 1 << 24);
        EXPECT_FALSE(whole.empty());
        EXPECT_EQ(Convert(w, 777, 100), whole);
        EXPECT_EQ(Convert(w, 1, 6), whole);
        // And the same through the plug-in.
        SettingsScope settings;
        EXPECT_EQ(DecodeFile(TestData(std::string("pcmkit/") + file)).bytes, whole);
    }
}

TEST(CodecLayer, AHeaderLyingAboutItsByteRateLosesNothing)
{
    SettingsScope settings;
    const std::string file = testsupport::ReadFile(TestData("pcmkit/mp3.wav"));
    std::string lying = file;
    for (int i = 28; i < 32; ++i) // nAvgBytesPerSec: the buffers are sized from it
        lying[i] = '\xF0';
    const std::string all = DecodeBytes("a.wav", file).bytes;
    EXPECT_FALSE(all.empty());
    EXPECT_EQ(DecodeBytes("a.wav", lying).bytes, all);
}

TEST(CodecLayer, SeeksRestartAtTheBlockOfTheFrame)
{
    SettingsScope settings;
    std::vector<int16_t> all = Samples16(DecodeFile(TestData("pcmkit/msadpcm.wav")).bytes);
    abort_flag never{false};
    open_result result;
    decoder* d = open_file(TestData("pcmkit/msadpcm.wav").c_str(), false, &never, &result);
    ASSERT_NE(d, nullptr);
    std::vector<int16_t> part(200);
    for (int frame : {2024, 0, 10120 - 1012}) { // whole blocks of 1012 frames
        int64_t position = 0;
        ASSERT_EQ(d->ops->seek(d, frame, &position, &never), 0);
        EXPECT_EQ(position, frame * 4);
        ASSERT_EQ(d->ops->read(d, part.data(), 400, &never), 400);
        EXPECT_EQ(part, std::vector<int16_t>(all.begin() + frame * 2, all.begin() + frame * 2 + 200)) << frame;
    }
    decoder_destroy(d);
}

TEST(CodecLayer, FormatsWithoutACodecNameWhatIsMissing)
{
    SettingsScope settings;
    const std::string mp3 = testsupport::ReadFile(TestData("pcmkit/mp3.wav"));
    auto retagged = [&](unsigned tag) {
        std::string copy = mp3;
        copy[20] = static_cast<char>(tag & 0xFF);
        copy[21] = static_cast<char>(tag >> 8);
        return copy;
    };
    setenv("ORVELLA_ACM_UNAVAILABLE", "55,161,6751", 1);
    const std::pair<unsigned, const char*> cases[] = {
        {0x55, "This file requires MP3 ACM codec to be installed."},
        {0x161, "This file requires DivX ACM codec to be installed."},
        {0x6751, "This file requires Vorbis ACM codec to be installed."},
        {0x1234, "Missing codec, unable to open file."},
    };
    for (auto [tag, message] : cases) {
        testsupport::MessageBoxRecorder boxes;
        EXPECT_FALSE(DecodeBytes("a.wav", retagged(tag)).opened);
        ASSERT_EQ(boxes.count(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, message);
    }
    unsetenv("ORVELLA_ACM_UNAVAILABLE");
    EXPECT_TRUE(DecodeBytes("a.wav", retagged(0x55)).opened);
}

TEST(CodecLayer, InformationNamesTheCodecAndTheOutput)
{
    SettingsScope settings;
    Decoded d = DecodeFile(TestData("pcmkit/msadpcm.wav"));
    EXPECT_EQ(d.info, "Format: ADPCM Microsoft, 22050 Hz, 4 bit, stereo\nLength: 0 seconds\n"
                      "Output format: PCM, 22050 Hz, 2 channel(s), 16 bits per sample");
}

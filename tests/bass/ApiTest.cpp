// The C interface: what the player binds, error paths, spectrum data.

#include "EngineHarness.h"

#include "bass/bass_wma.h"
#include "support/MappedLibraries.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

using namespace enginetest;

TEST(Api, EveryDeclaredNameIsExportedFromItsLibrary)
{
    // Loaded the way the player loads them: by path from the program folder, locally.
    void* bass = dlopen(ORVELLA_PROGRAM_DIR "libbass.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(bass, nullptr) << dlerror();
    void* wma = dlopen(ORVELLA_PROGRAM_DIR "libbasswma.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(wma, nullptr) << dlerror();
    for (const char* name : {"BASS_GetVersion",
                             "BASS_ErrorGetCode",
                             "BASS_Init",
                             "BASS_Start",
                             "BASS_Stop",
                             "BASS_Free",
                             "BASS_GetInfo",
                             "BASS_SetGlobalVolumes",
                             "BASS_GetGlobalVolumes",
                             "BASS_StreamCreateFile",
                             "BASS_StreamCreate",
                             "BASS_StreamFree",
                             "BASS_StreamGetLength",
                             "BASS_StreamPlay",
                             "BASS_MusicLoad",
                             "BASS_MusicFree",
                             "BASS_MusicGetLength",
                             "BASS_MusicPlay",
                             "BASS_ChannelPause",
                             "BASS_ChannelResume",
                             "BASS_ChannelStop",
                             "BASS_ChannelIsActive",
                             "BASS_ChannelGetFlags",
                             "BASS_ChannelGetPosition",
                             "BASS_ChannelSetPosition",
                             "BASS_ChannelBytes2Seconds",
                             "BASS_ChannelSeconds2Bytes",
                             "BASS_ChannelSetAttributes",
                             "BASS_ChannelGetAttributes",
                             "BASS_ChannelGetData",
                             "BASS_ChannelSetSync",
                             "BASS_ChannelRemoveSync",
                             "BASS_ChannelSetDSP",
                             "BASS_ChannelRemoveDSP",
                             "BASS_ChannelSetFX",
                             "BASS_ChannelRemoveFX",
                             "BASS_FXGetParameters",
                             "BASS_FXSetParameters"})
        EXPECT_NE(dlsym(bass, name), nullptr) << name;
    for (const char* name : {"BASS_WMA_StreamCreateFile", "BASS_WMA_ChannelSetSync"})
        EXPECT_NE(dlsym(wma, name), nullptr) << name;
    // Internals stay hidden.
    EXPECT_EQ(dlsym(bass, "_ZN4bass6Engine8instanceEv"), nullptr);
    dlclose(wma);
    dlclose(bass);
}

TEST(Api, VersionAndInfo)
{
    EXPECT_EQ(BASS_GetVersion() & 0xFFFF, 1u);
    EXPECT_EQ(BASS_GetVersion() >> 16, 8u);
    EXPECT_EQ(sizeof(BASS_INFO), 56u);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    BASS_INFO info{};
    EXPECT_FALSE(BASS_GetInfo(&info)); // size not set
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    info.size = sizeof info;
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_EQ(info.dsver, 8u);
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.devicekind, DWORD(BASS_DEVICE_NULL));
    EXPECT_EQ(info.latency, 156u); // the queue's 116 ms and a tick of the silent device
    EXPECT_EQ(info.started, 0u);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    ASSERT_TRUE(BASS_Start());
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(info.started, 1u);
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

// FFmpeg and libopenmpt cost a start-up tens of milliseconds and megabytes, so
// the engine starts without them, and MP3 and Ogg files never bring them in.
TEST(Api, TheDecodersLoadWhenAStreamNeedsThem)
{
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    ASSERT_TRUE(BASS_Start());
    for (const char* library : {"libbasscodecs.so", "libbassdecoders.so", "libavformat", "libavcodec", "libavutil",
                                "libswresample", "libopenmpt", "libmpg123"})
        EXPECT_FALSE(testsupport::LibraryMapped(library)) << library;
    for (const char* name : {"bass/tone.ogg", "bass/tone.mp3"}) {
        HSTREAM stream = BASS_StreamCreateFile(FALSE, testsupport::TestData(name).c_str(), 0, 0, 0);
        ASSERT_NE(stream, 0u) << name;
        ASSERT_TRUE(BASS_ChannelSetAttributes(stream, 48000, -1, -101)); // played through the rate converter
        ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        EXPECT_GT(BASS_ChannelGetPosition(stream), 0) << name;
        BASS_StreamFree(stream);
    }
    EXPECT_TRUE(testsupport::LibraryMapped("libbasscodecs.so"));
    for (const char* library : {"libbassdecoders.so", "libavformat", "libavcodec", "libavutil", "libswresample"})
        EXPECT_FALSE(testsupport::LibraryMapped(library)) << library;
    HSTREAM wma = BASS_WMA_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.wma").c_str(), 0, 0, 0);
    EXPECT_NE(wma, 0u);
    EXPECT_TRUE(testsupport::LibraryMapped("libbassdecoders.so"));
    EXPECT_TRUE(testsupport::LibraryMapped("libavformat"));
    BASS_StreamFree(wma);
    EXPECT_TRUE(BASS_Free());
}

TEST(Api, CallsBeforeInitFail)
{
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.ogg").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(BASS_WMA_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.wma").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_StreamPlay(1, FALSE, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(BASS_ChannelIsActive(1), 0u);
    EXPECT_FALSE(BASS_Start());
    EXPECT_FALSE(BASS_SetGlobalVolumes(1, 1, 1));
    EXPECT_EQ(BASS_ChannelGetPosition(1), -1);
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(Api, BadFilesAndHandlesFailWithTheirCodes)
{
    CaptureSession session;
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, session.file("missing.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, session.path().c_str(), 0, 0, 0), 0u); // a folder
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);

    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "This is not audio, line " + std::to_string(i) + ".\n";
    testsupport::WriteFile(session.file("notes.mp3"), text);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, session.file("notes.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_MusicLoad(FALSE, session.file("notes.mp3").c_str(), 0, 0, BASS_MUSIC_MEASURELEN), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_WMA_StreamCreateFile(FALSE, session.file("notes.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);

    // Each library opens its own formats only.
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.wma").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_WMA_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);

    // An empty file, and a WAV header that promises data it does not hold.
    testsupport::WriteFile(session.file("empty.wav"), "");
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, session.file("empty.wav").c_str(), 0, 0, 0), 0u);
    WriteWav(session.file("short.wav"), 44100, 2, {});
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, session.file("short.wav").c_str(), 0, 0, 0), 0u);
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);

    const HSTREAM stream = BASS_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.ogg").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_FALSE(BASS_MusicFree(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_FALSE(BASS_StreamFree(stream));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_FALSE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ChannelGetFlags(stream), DWORD(-1));
    EXPECT_EQ(BASS_ChannelBytes2Seconds(stream, 100), -1.0f);
    EXPECT_EQ(BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &EndWaiter::Proc, nullptr), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST(Api, MemoryAndFileSectionStreams)
{
    CaptureSession session;
    const std::string mp3 = testsupport::ReadFile(testsupport::TestData("bass/tone.mp3"));
    const HSTREAM fromMemory = BASS_StreamCreateFile(TRUE, mp3.data(), 0, DWORD(mp3.size()), 0);
    ASSERT_NE(fromMemory, 0u) << BASS_ErrorGetCode();
    // The same file inside another, at an offset.
    testsupport::WriteFile(session.file("wrapped.bin"), std::string(1000, 'x') + mp3 + std::string(500, 'y'));
    const HSTREAM section =
        BASS_StreamCreateFile(FALSE, session.file("wrapped.bin").c_str(), 1000, DWORD(mp3.size()), 0);
    ASSERT_NE(section, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_StreamGetLength(section), BASS_StreamGetLength(fromMemory));
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, mp3.data(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST(Api, SpectrumOfASinePeaksAtItsBin)
{
    CaptureSession session;
    WriteWav(session.file("in.wav"), 44100, 2, Sine(44100, 2, 1000, 1.0, 0.5));
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, session.file("in.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    float bins[256];
    EXPECT_EQ(BASS_ChannelGetData(stream, bins, BASS_DATA_FFT512), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    while (BASS_ChannelGetPosition(stream) < 4 * 4096) // bounded by playback itself
        std::this_thread::yield();
    EXPECT_EQ(BASS_ChannelGetData(stream, bins, 0), DWORD(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    ASSERT_EQ(BASS_ChannelGetData(stream, bins, BASS_DATA_FFT512), 1024u);
    const long peak = std::max_element(bins, bins + 256) - bins;
    EXPECT_EQ(peak, 12); // 1000 Hz / (44100 / 512) = 11.6
    // 0.4 bin off the centre a Hann window keeps 90% of the amplitude (0.5).
    EXPECT_NEAR(bins[peak], 0.45, 0.03);
    EXPECT_LT(bins[40], 0.01f);
    ASSERT_TRUE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ChannelGetData(stream, bins, BASS_DATA_FFT512), DWORD(-1));
}

TEST(Api, AttributesRangesAndUnchangedValues)
{
    CaptureSession session;
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, testsupport::TestData("bass/tone.ogg").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, 22050, 40, -1));
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, -1, -1, BASS_PAN_UNCHANGED));
    DWORD freq = 0, volume = 0;
    int pan = 0;
    ASSERT_TRUE(BASS_ChannelGetAttributes(stream, &freq, &volume, &pan));
    EXPECT_EQ(freq, 22050u);
    EXPECT_EQ(volume, 40u);
    EXPECT_EQ(pan, -1);
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, -1, 101));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, -1, 101, 0));
    EXPECT_FALSE(BASS_ChannelSetAttributes(stream, 50, -1, 0));
    ASSERT_TRUE(BASS_ChannelSetAttributes(stream, 0, -1, BASS_PAN_UNCHANGED));
    ASSERT_TRUE(BASS_ChannelGetAttributes(stream, &freq, nullptr, &pan));
    EXPECT_EQ(freq, 44100u);
    EXPECT_EQ(pan, -1);
}

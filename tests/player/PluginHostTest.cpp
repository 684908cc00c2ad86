// The plug-in host: load and unload codes, the module's wiring, which plug-in
// claims a file, and the conversion of extension lists.

#include "PlayerHarness.h"

#include "player/OutputEmulator.h"
#include "player/PluginHost.h"
#include "support/MessageBoxRecorder.h"

#include "platform/winmsg.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace player;
using namespace playertest;

namespace {

class PluginHost : public ::testing::Test {
  protected:
    std::string tone(const std::string& name, const std::string& text)
    {
        testsupport::WriteFile(data.file(name), text);
        return data.file(name);
    }
    bool loaded(const std::string& name)
    {
        void* handle = dlopen(folder.file("Plugins/" + name).c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            dlclose(handle);
        return handle != nullptr;
    }

    ProgramFolder folder;
    testsupport::TempDir data;
};

} // namespace

TEST_F(PluginHost, LoadAndUnloadCodes)
{
    folder.addPlugin("in_testtone.so", "in_testtone.so");
    folder.addPlugin("in_noexport.so", "in_noexport.so");
    folder.addPlugin("in_nullmodule.so", "in_nullmodule.so");
    folder.addPluginFile("in_broken.so", "not a library");
    for (int i = 1; i <= 8; ++i)
        folder.addPlugin("in_testtone.so", "in_copy" + std::to_string(i) + ".so");
    TAudioPlayer p;

    EXPECT_EQ(LoadPlugin("in_testtone.so"), plLoaded);
    EXPECT_EQ(LoadPlugin("in_testtone.so"), plAlreadyLoaded);
    EXPECT_EQ(LoadPlugin("IN_TESTTONE.SO"), plLoadFailed) << "names compare exactly";
    EXPECT_EQ(LoadPlugin("in_missing.so"), plLoadFailed);
    EXPECT_EQ(LoadPlugin("in_broken.so"), plLoadFailed);
    EXPECT_EQ(LoadPlugin("../libbass.so"), plLoadFailed) << "only files inside Plugins/";
    EXPECT_EQ(LoadPlugin("in_noexport.so"), plNotAPlugin);
    EXPECT_EQ(LoadPlugin("in_nullmodule.so"), plNotAPlugin);
    EXPECT_FALSE(loaded("in_noexport.so"));
    EXPECT_FALSE(loaded("in_nullmodule.so"));
    EXPECT_EQ(FindPlugin("in_noexport.so"), -1);

    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(LoadPlugin("in_copy" + std::to_string(i) + ".so"), plLoaded);
    EXPECT_EQ(LoadPlugin("in_copy8.so"), plNoSlot) << "the ninth";
    EXPECT_FALSE(loaded("in_copy8.so"));
    EXPECT_EQ(FindPlugin("in_copy3.so"), 3);

    EXPECT_EQ(UnloadPlugin("in_missing.so"), plNotLoaded);
    EXPECT_EQ(UnloadPlugin("in_copy2.so"), plUnloaded);
    EXPECT_FALSE(loaded("in_copy2.so"));
    EXPECT_EQ(GetPluginModule(2), nullptr);
    EXPECT_EQ(LoadPlugin("in_copy8.so"), plLoaded);
    EXPECT_EQ(FindPlugin("in_copy8.so"), 2) << "the lowest empty slot";
}

TEST_F(PluginHost, ModuleIsWiredBeforeInitAndKnownByItsWholeList)
{
    folder.addPlugin("in_testtone.so", "in_testtone.so");
    TAudioPlayer p;
    EXPECT_EQ(GetPluginFileExts(), "") << "nothing loaded";
    ASSERT_EQ(LoadPlugin("in_testtone.so"), plLoaded);

    const TPluginInfo info = GetPluginInfo(0);
    EXPECT_EQ(info.FileName, "in_testtone.so");
    EXPECT_EQ(info.Version, IN_MODULE_VERSION);
    EXPECT_EQ(info.Description, "Test tone plug-in");
    EXPECT_EQ(info.FileExtensions, "TONE;WAV;VOC;SIN;SINE");
    EXPECT_EQ(info.IsSeekable, 1);
    EXPECT_EQ(GetPluginFileExts(), "*.TONE;*.WAV;*.VOC;*.SIN;*.SINE;");
    for (int slot : {-1, 1, 8})
        EXPECT_TRUE(!GetPluginModule(slot) && GetPluginInfo(slot).FileName.empty() && SelectPlugin(slot) == -1);

    TestToneProbe* probe = Probe(0);
    ASSERT_NE(probe, nullptr);
    EXPECT_EQ(probe->initCalls, 1);
    EXPECT_EQ(probe->initSawHostFields, 1);
    EXPECT_EQ(probe->initSawNoHostEntries, 1);
    TInModule* module = GetPluginModule(0);
    EXPECT_EQ(module->MainWindow, OutputMessageWindow());
    EXPECT_EQ(module->DLLInstance, info.Library);
    EXPECT_EQ(module->OutModule, OutputModule());

    // The host's DSP gives the frames back untouched.
    int16_t samples[4] = {1, -2, 3, -4};
    EXPECT_EQ(module->DSPDoSamples(samples, 2, 16, 2, 44100), 2);
    EXPECT_EQ(samples[3], -4);
    EXPECT_EQ(module->DSPIsActive(), 0);

    // Every list claims: VOC is in the plug-in's second pair, SINE in its third.
    TStreamInfo streamInfo;
    TSourceSupport support;
    int slot;
    for (const char* name : {"speech.voc", "wave.sine", "wave.sin"}) {
        ASSERT_TRUE(p.GetStreamInfo(tone(name, "length=500\ntitle=Claimed\n"), streamInfo, support, slot)) << name;
        EXPECT_EQ(slot, 0);
        EXPECT_EQ(support, ssPlugin);
        EXPECT_EQ(streamInfo.Title, "Claimed");
    }
    EXPECT_FALSE(p.GetStreamInfo(tone("speech.mod", "length=500\n"), streamInfo, support, slot));
    EXPECT_EQ(slot, -1);

    // The plug-in in use cannot go until the host hears CLEAR_CURRENT_PLUGIN.
    ASSERT_EQ(SelectPlugin(0), 0);
    EXPECT_EQ(UnloadPlugin("in_testtone.so"), plInUse);
    EXPECT_EQ(SendMessage(OutputMessageWindow(), WM_USER, 0, PLUGIN_GET_DOWNLOAD_FUNCTION), 0);
    SendMessage(OutputMessageWindow(), CLEAR_CURRENT_PLUGIN, 0, 0);
    EXPECT_EQ(CurrentPlugin(), -1);
    // An extra reference keeps the library mapped, so its probe can tell that Quit ran.
    void* keep = dlopen(folder.file("Plugins/in_testtone.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(keep, nullptr);
    EXPECT_EQ(UnloadPlugin("in_testtone.so"), plUnloaded);
    EXPECT_EQ(probe->quitCalls, 1);
    dlclose(keep);
}

TEST(PluginExtensions, ListsBecomeOpenDialogPatterns)
{
    EXPECT_EQ(ConvertExtensionList(""), "");
    EXPECT_EQ(ConvertExtensionList("MP3"), "*.MP3");
    EXPECT_EQ(ConvertExtensionList("WAV;VOC"), "*.WAV;*.VOC");
    EXPECT_EQ(ConvertExtensionList("AU;SND;"), "*.AU;*.SND;") << "a last ';' gets no pattern after it";
}

TEST_F(PluginHost, ClaimsFollowExtensionsLengthsAndPluginFirst)
{
    folder.addPlugin("in_testtone.so", "in_a.so");
    folder.addPlugin("in_testtone.so", "in_b.so");
    testsupport::MessageBoxRecorder boxes;
    TAudioPlayer p;
    ASSERT_EQ(LoadPlugin("in_a.so"), plLoaded);
    ASSERT_EQ(LoadPlugin("in_b.so"), plLoaded);
    const std::string sine = tone("sine.tone", "length=500\ntitle=Sine\n");

    TStreamInfo info;
    TSourceSupport support;
    int slot;
    ASSERT_TRUE(p.GetStreamInfo(sine, info, support, slot));
    EXPECT_EQ(support, ssPlugin);
    EXPECT_EQ(slot, 0);
    EXPECT_EQ(info.Title, "Sine");
    EXPECT_EQ(info.Duration, 500u);
    EXPECT_EQ(info.FileName, sine);

    Probe(0)->refuseFiles = 1; // length 0: not chosen, the search goes on
    ASSERT_TRUE(p.GetStreamInfo(sine, info, support, slot));
    EXPECT_EQ(slot, 1);
    Probe(1)->refuseFiles = 1;
    EXPECT_FALSE(p.GetStreamInfo(sine, info, support, slot));
    EXPECT_EQ(slot, 1) << "the last slot that matched";
    EXPECT_EQ(support, ssNone);
    Probe(0)->refuseFiles = 0;
    Probe(1)->refuseFiles = 0;

    // A WAV file both the engine and the plug-in play: the engine's unless PluginFirst.
    const std::string wav = data.file("both.wav");
    WriteWav(wav, 44100, 2, Sine(44100, 2, 500, 0.25, 0.3));
    ASSERT_TRUE(p.GetStreamInfo(wav, info, support, slot));
    EXPECT_EQ(support, ssBoth);
    EXPECT_EQ(info.Duration, 250u);
    ASSERT_TRUE(p.Open(wav));
    EXPECT_EQ(p.ChannelKind(), ckStream);
    PostMessage(p.MessageWindow(), SET_PLUGIN_FIRST, 0, 1);
    ASSERT_TRUE(WaitUntil([&] { return p.PluginFirst(); }));
    ASSERT_TRUE(p.Open(wav));
    EXPECT_EQ(p.ChannelKind(), ckPlugin);
    EXPECT_EQ(CurrentPlugin(), 0);
    EXPECT_EQ(UnloadPlugin("in_a.so"), plInUse);

    // Opening a file for the engine does not clear the current plug-in.
    ASSERT_TRUE(p.Open(testsupport::TestData("bass/tone.ogg")));
    EXPECT_EQ(p.ChannelKind(), ckStream);
    EXPECT_EQ(UnloadPlugin("in_a.so"), plInUse);
    EXPECT_EQ(UnloadPlugin("in_b.so"), plUnloaded);
    EXPECT_EQ(boxes.count(), 0u);

    // The configuration window, attached from outside, opens on PluginFirst as it stands.
    PluginConfigRequest seen{};
    p.SetPluginConfigWindow([&](const PluginConfigRequest& request) { seen = request; });
    p.ShowPluginConfig();
    EXPECT_TRUE(seen.PluginFirst);
    EXPECT_EQ(seen.PlayerWindow, p.MessageWindow());
}

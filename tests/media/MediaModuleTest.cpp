// The built in_media.so as any host sees it: its record, its extension list,
// the file information it gives for real encoded files, and its refusals.

#include "bass/EngineHarness.h"
#include "player/plugin_api.h"
#include "support/EncodedTones.h"
#include "support/MappedLibraries.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const std::string kPlugin = ORVELLA_PROGRAM_DIR "Plugins/in_media.so";

TInModule* LoadModule()
{
    void* library = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return nullptr;
    auto get = reinterpret_cast<GetInModuleFunc>(dlsym(library, PLUGIN_EXPORT_NAME));
    return get ? get() : nullptr;
}

// The extension lists of the module's pairs.
std::vector<std::string> ExtensionGroups(const TInModule& m)
{
    std::vector<std::string> groups;
    for (const char* p = m.FileExtensions; *p;) {
        groups.emplace_back(p);
        p += groups.back().size() + 1;
        EXPECT_NE(*p, '\0') << "a description follows " << groups.back();
        p += std::strlen(p) + 1;
    }
    return groups;
}

struct Info {
    std::string title;
    int length = -2;
};

class MediaModule : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m = LoadModule();
        ASSERT_NE(m, nullptr) << dlerror();
    }
    Info info(const std::string& file)
    {
        Info i;
        char title[256];
        std::memset(title, 'x', sizeof title);
        m->GetFileInfo(file.c_str(), title, &i.length);
        EXPECT_NE(std::memchr(title, 0, sizeof title), nullptr);
        i.title = title;
        return i;
    }

    TInModule* m = nullptr;
    TempDir dir;
};

} // namespace

TEST(MediaModuleLoad, LoadsWithoutFfmpegUntilItLooksAtAFile)
{
    // A fresh process: this one may have FFmpeg mapped already.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TInModule* m = LoadModule();
            if (!m || LibraryMapped("libavformat"))
                std::exit(1);
            int length = 0;
            m->GetFileInfo("/nonexistent.flac", nullptr, &length);
            std::exit(LibraryMapped("libavformat") ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(MediaModule, RecordAndExtensionPairs)
{
    EXPECT_EQ(m->Version, IN_MODULE_VERSION);
    EXPECT_STRNE(m->Description, "");
    EXPECT_EQ(m->IsSeekable, 1);
    EXPECT_EQ(m->UsesOutputModule, 1);
    for (auto fn : {(void*)m->Config, (void*)m->About, (void*)m->Init, (void*)m->Quit, (void*)m->GetFileInfo,
                    (void*)m->InfoBox, (void*)m->Play, (void*)m->Stop, (void*)m->SetOutputTime})
        EXPECT_NE(fn, nullptr);
    std::string all;
    for (const std::string& g : ExtensionGroups(*m)) {
        EXPECT_FALSE(g.empty());
        all += g + ";";
    }
    for (const char* ext : {"FLAC;", "OPUS;", "OGA;", "OGG;", "M4A;", "F4A;", "MP4;", "AAC;", "ADTS;", "APE;", "WV;",
                            "MPC;", "TTA;", "VQF;", "WMA;", "ASF;", "MDZ;"})
        EXPECT_NE(all.find(ext), std::string::npos) << ext;
    for (const char* engine : {"WAV", "MP3"})
        EXPECT_EQ(all.find(engine), std::string::npos) << engine << " is the engine's";
}

TEST_F(MediaModule, TitleAndLengthFromEachFormatsTags)
{
    const Tags tags{"Ada Artist", "Tone Title"};
    for (const ToneFile& type : {Flac(), Opus(), AacM4a(), AlacM4a(), WavPack(), TrueAudio(), WmaAsf()}) {
        SCOPED_TRACE(type.codec);
        const std::string file = MakeTone(dir.path(), "tone-" + type.codec, type, 440, 1.5, tags);
        const Info i = info(file);
        EXPECT_EQ(i.title, "Ada Artist - Tone Title");
        EXPECT_NEAR(i.length, 1500, 50) << "codecs end on whole frames (WMA: 2048 samples)";
    }
}

TEST_F(MediaModule, TitleFallsBackOnWhatTheTagsLack)
{
    EXPECT_EQ(info(MakeTone(dir.path(), "untagged", Flac(), 440, 0.5)).title, "untagged");
    EXPECT_EQ(info(MakeTone(dir.path(), "titled", Opus(), 440, 0.5, {"", "Only Title"})).title, "Only Title");
    EXPECT_EQ(info(MakeTone(dir.path(), "by artist", AacM4a(), 440, 0.5, {"Only Artist", ""})).title,
              "Only Artist - by artist");
    // A UTF-8 title longer than the host's buffer is cut before a whole character.
    std::string longTitle;
    for (int i = 0; i < 100; ++i)
        longTitle += "é♫";
    const Info cut = info(MakeTone(dir.path(), "long", Flac(), 440, 0.2, {"", longTitle}));
    EXPECT_LE(cut.title.size(), 255u);
    EXPECT_EQ(cut.title, longTitle.substr(0, cut.title.size()));
    EXPECT_EQ(QString::fromUtf8(cut.title.c_str()).toUtf8().toStdString(), cut.title) << "no broken character";
}

TEST_F(MediaModule, RefusesWhatItCannotPlay)
{
    WriteFile(dir.file("text.flac"), "This is not audio at all, only words.\n");
    WriteFile(dir.file("empty.m4a"), "");
    enginetest::WriteWav(dir.file("wave.flac"), 44100, 2, enginetest::Sine(44100, 2, 440, 0.5, 0.5));
    std::string flac = ReadFile(MakeTone(dir.path(), "whole", Flac(), 440, 1.0));
    WriteFile(dir.file("header only.flac"), flac.substr(0, 60));
    for (const char* name : {"text.flac", "empty.m4a", "wave.flac", "missing.opus", "header only.flac"}) {
        SCOPED_TRACE(name);
        const Info i = info(dir.file(name));
        EXPECT_EQ(i.length, 0);
        EXPECT_EQ(i.title + std::string(std::strrchr(name, '.')), name) << "the file's name stands in";
    }
    EXPECT_EQ(info(dir.path()).length, 0) << "a folder";
    // Monkey's Audio and TwinVQ headers without audio behind them (no encoder is packaged).
    for (const char* header : {"fileinfo/monkey_3970.ape", "fileinfo/twinvq_stereo.vqf"})
        EXPECT_EQ(info(TestData(header)).length, 0) << header;
}

TEST_F(MediaModule, ZippedModuleLengthAndDamage)
{
    const std::string module = enginetest::TinyModule();
    for (bool deflate : {false, true}) {
        const std::string file =
            MakeZip(dir.file(deflate ? "deflated.mdz" : "stored.mdz"), "tiny.mod", module, deflate);
        const Info i = info(file);
        EXPECT_NEAR(i.length, 640, 10) << file;
        EXPECT_EQ(i.title, "engine test") << "the module's own title";
    }
    const std::string whole = ReadFile(dir.file("deflated.mdz"));
    WriteFile(dir.file("cut.mdz"), whole.substr(0, whole.size() - 30));
    std::string flipped = whole;
    flipped[60] ^= 0x55; // inside the packed module: the CRC no longer matches
    WriteFile(dir.file("flipped.mdz"), flipped);
    MakeZip(dir.file("text.mdz"), "readme.txt", "no module here", true);
    for (const char* name : {"cut.mdz", "flipped.mdz", "text.mdz"})
        EXPECT_EQ(info(dir.file(name)).length, 0) << name;
}

TEST_F(MediaModule, InfoBoxShowsPropertiesAndTags)
{
    const std::string file = MakeTone(dir.path(), "boxed", Flac(), 440, 1.0, {"Box Artist", "Box Title"});
    QStringList seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box)
            return;
        for (const char* name : {"format", "codec", "sampleRate", "channels", "bits", "length"})
            if (auto* label = box->findChild<QLabel*>(name))
                seen << label->text();
        if (auto* tags = box->findChild<QTreeWidget*>("tags"))
            for (int i = 0; i < tags->topLevelItemCount(); ++i)
                seen << tags->topLevelItem(i)->text(0) + "=" + tags->topLevelItem(i)->text(1);
        box->accept();
    });
    EXPECT_EQ(m->InfoBox(file.c_str(), nullptr), 0);
    EXPECT_TRUE(seen.contains("44100 Hz")) << seen.join(" | ").toStdString();
    EXPECT_TRUE(seen.contains("stereo"));
    EXPECT_TRUE(seen.contains("16"));
    EXPECT_TRUE(seen.contains("0:01"));
    EXPECT_TRUE(seen.contains("artist=Box Artist"));
    EXPECT_TRUE(seen.contains("title=Box Title"));
    EXPECT_TRUE(seen.filter("FLAC").size() >= 1);
    EXPECT_EQ(m->InfoBox(dir.file("missing.flac").c_str(), nullptr), 1) << "nothing shown";
}

#include "app/config/Config.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using appconfig::Setting;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Stands in for the windows' controls: remembers every value applied, in order.
struct Controls : appconfig::SettingsTarget {
    std::map<std::pair<Setting, int>, int> values;
    std::vector<std::pair<Setting, int>> applied;
    std::array<std::string, 8> plugins;
    bool effects = true;
    bool pluginHost = true;
    bool effectsDisabled = false;

    Controls()
    {
        // The design values of the controls at start-up.
        for (int band = 1; band <= 10; ++band)
            values[{Setting::Equalizer, band}] = 15;
        values[{Setting::Volume, 0}] = 100;
        values[{Setting::Numbering, 0}] = 1;
    }
    int current(Setting s, int index) const override
    {
        auto it = values.find({s, index});
        return it == values.end() ? 0 : it->second;
    }
    void apply(Setting s, int index, int value) override
    {
        values[{s, index}] = value;
        applied.emplace_back(s, index);
    }
    std::string pluginFileName(int slot) const override { return plugins[size_t(slot)]; }
    bool effectsReady() const override { return effects; }
    bool pluginsReady() const override { return pluginHost; }
    void disableEffectControls() override { effectsDisabled = true; }

    int operator()(Setting s, int index = 0) const { return current(s, index); }
    bool wasApplied(Setting s, int index = 0) const
    {
        return std::find(applied.begin(), applied.end(), std::make_pair(s, index)) != applied.end();
    }
};

} // namespace

TEST(Config, WithoutAFileEveryKeyTakesItsDefault)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    Controls c;
    appconfig::RestoreAtShow(file, c);
    const std::pair<Setting, int> expected[] = {
        {Setting::MainWidth, 330},      {Setting::MainHeight, 177},      {Setting::MainLeft, 97},
        {Setting::MainTop, 125},        {Setting::PlaylistVis, 1},       {Setting::PlaylistLeft, 427},
        {Setting::PlaylistTop, 427},    {Setting::PlaylistWidth, 300},   {Setting::PlaylistHeight, 322},
        {Setting::EqualizerVis, 1},     {Setting::EqualizerLeft, 97},    {Setting::EqualizerTop, 302},
        {Setting::EqualizerWidth, 330}, {Setting::EqualizerHeight, 145}, {Setting::Volume, 100},
        {Setting::TitleFormat, 0},      {Setting::Numbering, 1},         {Setting::SmoothShuffle, 1},
        {Setting::ShuffleAndGo, 0},     {Setting::MorphRate, 70},        {Setting::FileType, 0},
        {Setting::Repeat, 0},
    };
    for (auto [setting, value] : expected) {
        EXPECT_TRUE(c.wasApplied(setting)) << int(setting);
        EXPECT_EQ(c(setting), value) << int(setting);
    }
    EXPECT_EQ(c(Setting::FileType, 19), 0);
    EXPECT_EQ(c(Setting::Equalizer, 10), 15);
    EXPECT_FALSE(testsupport::FileExists(file.path())) << "reading never creates the file";
    EXPECT_EQ(appconfig::ReadFilesFolder(file), appconfig::DefaultDialogFolder());
    EXPECT_TRUE(appconfig::DefaultDialogFolder().ends_with('/'));
    EXPECT_FALSE(appconfig::ReadPluginFirst(file, false));
}

TEST(Config, RestoresInTheProgramsOrder)
{
    TempDir dir;
    Controls c;
    appconfig::RestoreAtShow(platform::ProfileFile(dir.file("confstate.ini")), c);
    // Runs of one setting (file types, bands) count once. The shuffle check
    // boxes uncheck each other and the levels default to each other, so the
    // order matters.
    std::vector<Setting> order;
    for (const auto& [setting, index] : c.applied)
        if (order.empty() || order.back() != setting)
            order.push_back(setting);
    using S = Setting;
    const std::vector<Setting> expected{
        S::MainWidth,       S::MainHeight,        S::MainLeft,     S::MainTop,         S::PlaylistWidth,
        S::PlaylistHeight,  S::PlaylistLeft,      S::PlaylistTop,  S::PlaylistVis,     S::EqualizerWidth,
        S::EqualizerHeight, S::EqualizerLeft,     S::EqualizerTop, S::EqualizerVis,    S::FileType,
        S::Equalizer,       S::FlangerBox,        S::ShuffleAndGo, S::SmoothShuffle,   S::MorphRate,
        S::FlangerEffect,   S::EchoEffect,        S::ReverbEffect, S::EchoBox,         S::ReverbBox,
        S::ReverbLevel,     S::PlayerReverbLevel, S::EchoLevel,    S::PlayerEchoLevel, S::UseEqualizer,
        S::Volume,          S::TitleFormat,       S::Numbering,    S::Repeat};
    EXPECT_EQ(order, expected);
}

TEST(Config, StoredValuesWinAndMalformedNumbersTakeTheDefault)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    WriteFile(file.path(), "[form state]\nMAINWIDTH=400\nmainheight=abc\nPlaylistVis=0\nPlaylistleft=5\n"
                           "EqualizerVis=2\n[General]\nvolume=35\nnumplay=0\nrepeat=1\n"
                           "playparseind=3\n[Associations]\nfiletype 4=1\nfiletype 5=7\n[Playlist]\nshuffgo=1\n"
                           "[Plugin First]\nyeah=1\n[Loaded Plugins]\nPlugin3=in_pcmkit.so\n"
                           "[Dialogs]\nfiles=/music/\nplylist=/lists/\n");
    Controls c;
    appconfig::RestoreAtShow(file, c);
    EXPECT_EQ(c(Setting::MainWidth), 400);
    EXPECT_EQ(c(Setting::MainHeight), 177);
    // Hidden windows keep their design bounds.
    for (Setting s : {Setting::PlaylistVis, Setting::PlaylistLeft, Setting::EqualizerVis, Setting::EqualizerLeft})
        EXPECT_FALSE(c.wasApplied(s)) << int(s);
    EXPECT_EQ(c(Setting::Volume), 35);
    EXPECT_EQ(c(Setting::Numbering), 0);
    EXPECT_EQ(c(Setting::Repeat), 1);
    EXPECT_EQ(c(Setting::TitleFormat), 3);
    EXPECT_EQ(c(Setting::FileType, 4), 1);
    EXPECT_EQ(c(Setting::FileType, 5), 1) << "any non-zero number is true";
    EXPECT_EQ(c(Setting::ShuffleAndGo), 1);
    EXPECT_TRUE(appconfig::ReadPluginFirst(file, false));
    EXPECT_EQ(appconfig::ReadLoadedPlugins(file)[3], "in_pcmkit.so");
    EXPECT_EQ(appconfig::ReadPlaylistFolder(file), "/lists/");
}

TEST(Config, EffectLevelsDefaultToEachOther)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    WriteFile(file.path(), "[Sound Box]\necholevel=12\nflanger=1\n");
    Controls c;
    c.values[{Setting::EchoLevel, 0}] = 0;
    appconfig::RestoreAtShow(file, c);
    EXPECT_EQ(c(Setting::ReverbLevel), 0) << "the echo slider's value at that moment";
    EXPECT_EQ(c(Setting::PlayerReverbLevel), 0);
    EXPECT_EQ(c(Setting::EchoLevel), 12);
    EXPECT_EQ(c(Setting::PlayerEchoLevel), 12);
    EXPECT_EQ(c(Setting::FlangerBox), 1);
    EXPECT_EQ(c(Setting::FlangerEffect), 1);
    EXPECT_TRUE(c.wasApplied(Setting::EchoEffect));

    // reverblevel present and echolevel absent: echo takes the restored reverb level.
    WriteFile(file.path(), "[Sound Box]\nreverblevel=20\n");
    Controls d;
    d.values[{Setting::EchoLevel, 0}] = 3;
    appconfig::RestoreAtShow(file, d);
    EXPECT_EQ(d(Setting::ReverbLevel), 20);
    EXPECT_EQ(d(Setting::EchoLevel), 20);
}

TEST(Config, WithoutEffectsTheirSettingsAreReadButNeitherAppliedNorWritten)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    WriteFile(file.path(), "[Sound Box]\nflanger=1\necho=1\nreverb=1\necholevel=9\nreverblevel=8\n");
    Controls c;
    c.effects = false;
    appconfig::RestoreAtShow(file, c);
    EXPECT_TRUE(c.effectsDisabled);
    EXPECT_EQ(c(Setting::FlangerBox), 1) << "the flanger box is read in any case";
    for (Setting s : {Setting::FlangerEffect, Setting::EchoEffect, Setting::EchoBox, Setting::ReverbLevel,
                      Setting::EchoLevel, Setting::PlayerEchoLevel})
        EXPECT_FALSE(c.wasApplied(s));

    c.values[{Setting::FlangerBox, 0}] = 0;
    ASSERT_TRUE(appconfig::SaveAtClose(file, c, {}));
    EXPECT_EQ(file.readString("Sound Box", "flanger", ""), "1");
    EXPECT_EQ(file.readString("Sound Box", "echolevel", ""), "9");
    EXPECT_EQ(file.readString("Sound Box", "reverblevel", ""), "8");
}

TEST(Config, SavesEverySectionInOrderWithThePlaylistBetween)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    Controls c;
    c.plugins[0] = "in_pcmkit.so";
    c.values[{Setting::PluginFirst, 0}] = 1;
    c.values[{Setting::PlaylistVis, 0}] = 0;
    c.values[{Setting::FileType, 19}] = 1;
    c.values[{Setting::EchoLevel, 0}] = 4;
    c.values[{Setting::ReverbLevel, 0}] = 5;

    bool playlistSaved = false;
    ASSERT_TRUE(appconfig::SaveAtClose(file, c, [&] {
        playlistSaved = true;
        EXPECT_EQ(file.readString("Plugin First", "yeah", ""), "1");
        EXPECT_FALSE(file.sectionExists("Sound Box"));
    }));
    EXPECT_TRUE(playlistSaved);

    using Names = std::vector<std::string>;
    EXPECT_EQ(file.sections(), (Names{"Loaded Plugins", "Plugin First", "Sound Box", "Playlist", "General",
                                      "Form State", "Associations"}));
    Names soundBox;
    for (int band = 1; band <= 10; ++band)
        soundBox.push_back("equalizer" + std::to_string(band));
    soundBox.insert(soundBox.end(), {"useequalizer", "flanger", "echo", "reverb", "echolevel", "reverblevel"});
    EXPECT_EQ(file.keys("Sound Box"), soundBox);
    EXPECT_EQ(file.keys("General"), (Names{"volume", "playparseind", "numplay", "repeat"}));
    EXPECT_EQ(file.keys("Form State"),
              (Names{"mainwidth", "mainheight", "mainleft", "maintop", "PlaylistVis", "Playlistwidth", "Playlistheight",
                     "Playlistleft", "Playlisttop", "EqualizerVis", "Equalizerwidth", "Equalizerheight",
                     "Equalizerleft", "Equalizertop"}));
    EXPECT_EQ(file.keys("Associations").size(), 20u);
    EXPECT_EQ(file.keys("Associations").back(), "filetype 19");
    EXPECT_EQ(file.keys("Loaded Plugins").back(), "Plugin7");
    EXPECT_EQ(file.readString("Loaded Plugins", "Plugin0", "?"), "in_pcmkit.so");
    EXPECT_EQ(file.readString("Loaded Plugins", "Plugin3", "?"), "") << "a free slot is written empty";
    EXPECT_EQ(file.readString("Form State", "PlaylistVis", ""), "0");
    EXPECT_EQ(file.readString("Associations", "filetype 19", ""), "1");
    EXPECT_EQ(file.readString("Sound Box", "echolevel", ""), "4");
    EXPECT_EQ(file.readString("Sound Box", "reverblevel", ""), "5");
    EXPECT_FALSE(appconfig::SaveAtClose(platform::ProfileFile(dir.file("no/folder/x.ini")), c, {}));
}

TEST(Config, WithoutThePluginHostTheSavedPluginListStaysAsItWas)
{
    testsupport::TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    Controls c;
    c.pluginHost = false;
    // A first start: no list is written, so the next start still loads the shipped plug-ins.
    ASSERT_TRUE(appconfig::SaveAtClose(file, c, {}));
    EXPECT_FALSE(file.sectionExists("Loaded Plugins"));
    // A saved list survives a run in which nothing could be loaded.
    testsupport::WriteFile(dir.file("confstate.ini"), "[Loaded Plugins]\nPlugin0=in_pcmkit.so\n");
    ASSERT_TRUE(appconfig::SaveAtClose(file, c, {}));
    EXPECT_EQ(file.readString("Loaded Plugins", "Plugin0", ""), "in_pcmkit.so");
    EXPECT_TRUE(file.sectionExists("Plugin First"));
}

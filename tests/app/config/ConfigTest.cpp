#include "app/config/Config.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

using appconfig::Setting;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Stands in for the windows' controls: remembers every value applied, in order.
struct Controls : appconfig::SettingsTarget {
    std::map<std::pair<Setting, int>, int> values;
    std::vector<std::pair<Setting, int>> applied;
    std::array<std::string, 8> plugins;
    bool effects = true;
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
    void disableEffectControls() override { effectsDisabled = true; }

    int operator()(Setting s, int index = 0) const { return current(s, index); }
    bool wasApplied(Setting s, int index = 0) const
    {
        return std::find(applied.begin(), applied.end(), std::make_pair(s, index)) != applied.end();
    }
};

// "section/key" of every key line, in file order.
std::vector<std::string> keyOrder(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line, section;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.starts_with('['))
            section = line.substr(1, line.size() - 2);
        else if (auto eq = line.find('='); eq != std::string::npos)
            out.push_back(section + "/" + line.substr(0, eq));
    }
    return out;
}

} // namespace

TEST(Config, WithoutAFileEveryKeyTakesItsDefault)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    Controls c;
    appconfig::RestoreAtShow(file, c);

    EXPECT_EQ(c(Setting::MainWidth), 330);
    EXPECT_EQ(c(Setting::MainHeight), 177);
    EXPECT_EQ(c(Setting::MainLeft), 97);
    EXPECT_EQ(c(Setting::MainTop), 125);
    EXPECT_EQ(c(Setting::PlaylistVis), 1);
    EXPECT_EQ(c(Setting::PlaylistLeft), 427);
    EXPECT_EQ(c(Setting::PlaylistTop), 427);
    EXPECT_EQ(c(Setting::PlaylistWidth), 300);
    EXPECT_EQ(c(Setting::PlaylistHeight), 322);
    EXPECT_EQ(c(Setting::EqualizerVis), 1);
    EXPECT_EQ(c(Setting::EqualizerLeft), 97);
    EXPECT_EQ(c(Setting::EqualizerTop), 302);
    EXPECT_EQ(c(Setting::EqualizerWidth), 330);
    EXPECT_EQ(c(Setting::EqualizerHeight), 145);
    EXPECT_EQ(c(Setting::Volume), 100);
    EXPECT_EQ(c(Setting::TitleFormat), 0);
    EXPECT_EQ(c(Setting::Numbering), 1);
    EXPECT_EQ(c(Setting::SmoothShuffle), 1);
    EXPECT_EQ(c(Setting::ShuffleAndGo), 0);
    EXPECT_EQ(c(Setting::MorphRate), 70);
    for (int item = 0; item < 20; ++item)
        EXPECT_EQ(c(Setting::FileType, item), 0);
    for (int band = 1; band <= 10; ++band)
        EXPECT_EQ(c(Setting::Equalizer, band), 15);
    EXPECT_FALSE(testsupport::FileExists(file.path())) << "reading never creates the file";

    EXPECT_EQ(appconfig::ReadFilesFolder(file), appconfig::DefaultDialogFolder());
    EXPECT_EQ(appconfig::ReadPlaylistFolder(file), appconfig::DefaultDialogFolder());
    EXPECT_TRUE(appconfig::DefaultDialogFolder().ends_with('/'));
    EXPECT_FALSE(appconfig::ReadPluginFirst(file, false));
    EXPECT_EQ(appconfig::ReadLoadedPlugins(file), (std::array<std::string, 8>{}));
}

TEST(Config, RestoresInTheProgramsOrder)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    Controls c;
    appconfig::RestoreAtShow(file, c);

    auto at = [&](Setting s, int index = 0) {
        auto it = std::find(c.applied.begin(), c.applied.end(), std::make_pair(s, index));
        EXPECT_NE(it, c.applied.end());
        return it - c.applied.begin();
    };
    // Playlist: made visible before its geometry; equalizer: shown after it.
    EXPECT_LT(at(Setting::MainTop), at(Setting::PlaylistVis));
    EXPECT_LT(at(Setting::PlaylistVis), at(Setting::PlaylistWidth));
    EXPECT_LT(at(Setting::PlaylistTop), at(Setting::EqualizerWidth));
    EXPECT_LT(at(Setting::EqualizerTop), at(Setting::EqualizerVis));
    EXPECT_LT(at(Setting::EqualizerVis), at(Setting::FileType, 0));
    EXPECT_LT(at(Setting::FileType, 19), at(Setting::Equalizer, 1));
    EXPECT_LT(at(Setting::Equalizer, 10), at(Setting::FlangerBox));
    // The shuffle check boxes uncheck each other, so their order matters.
    EXPECT_LT(at(Setting::FlangerBox), at(Setting::ShuffleAndGo));
    EXPECT_LT(at(Setting::ShuffleAndGo), at(Setting::SmoothShuffle));
    EXPECT_LT(at(Setting::SmoothShuffle), at(Setting::MorphRate));
    EXPECT_LT(at(Setting::MorphRate), at(Setting::FlangerEffect));
    EXPECT_LT(at(Setting::ReverbEffect), at(Setting::EchoBox));
    EXPECT_LT(at(Setting::ReverbBox), at(Setting::ReverbLevel));
    EXPECT_LT(at(Setting::PlayerReverbLevel), at(Setting::EchoLevel));
    EXPECT_LT(at(Setting::PlayerEchoLevel), at(Setting::UseEqualizer));
    EXPECT_LT(at(Setting::UseEqualizer), at(Setting::Volume));
    EXPECT_LT(at(Setting::Volume), at(Setting::TitleFormat));
    EXPECT_LT(at(Setting::TitleFormat), at(Setting::Numbering));
    EXPECT_EQ(at(Setting::Numbering), std::ssize(c.applied) - 1);
}

TEST(Config, HiddenWindowsKeepTheirDesignBounds)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    WriteFile(file.path(), "[Form State]\r\nPlaylistVis=0\r\nPlaylistleft=5\r\nEqualizerVis=2\r\nEqualizerleft=6\r\n");
    Controls c;
    appconfig::RestoreAtShow(file, c);
    for (Setting s : {Setting::PlaylistVis, Setting::PlaylistLeft, Setting::PlaylistWidth, Setting::EqualizerVis,
                      Setting::EqualizerLeft, Setting::EqualizerTop})
        EXPECT_FALSE(c.wasApplied(s)) << int(s);
}

TEST(Config, StoredValuesWinAndMalformedNumbersTakeTheDefault)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    WriteFile(file.path(), "[form state]\nMAINWIDTH=400\nmainheight=abc\n[General]\nvolume=35\nnumplay=0\n"
                           "playparseind=3\n[Associations]\nfiletype 4=1\nfiletype 5=7\n[Playlist]\nshuffgo=1\n"
                           "[Plugin First]\nyeah=1\n[Loaded Plugins]\nPlugin3=in_pcmkit.so\n"
                           "[Dialogs]\nfiles=/music/\nplylist=/lists/\n");
    Controls c;
    appconfig::RestoreAtShow(file, c);
    EXPECT_EQ(c(Setting::MainWidth), 400);
    EXPECT_EQ(c(Setting::MainHeight), 177);
    EXPECT_EQ(c(Setting::Volume), 35);
    EXPECT_EQ(c(Setting::Numbering), 0);
    EXPECT_EQ(c(Setting::TitleFormat), 3);
    EXPECT_EQ(c(Setting::FileType, 4), 1);
    EXPECT_EQ(c(Setting::FileType, 5), 1) << "any non-zero number is true";
    EXPECT_EQ(c(Setting::ShuffleAndGo), 1);
    EXPECT_TRUE(appconfig::ReadPluginFirst(file, false));
    EXPECT_EQ(appconfig::ReadLoadedPlugins(file)[3], "in_pcmkit.so");
    EXPECT_EQ(appconfig::ReadFilesFolder(file), "/music/");
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

    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i)
        expected.push_back("Loaded Plugins/Plugin" + std::to_string(i));
    expected.push_back("Plugin First/yeah");
    for (int i = 1; i <= 10; ++i)
        expected.push_back("Sound Box/equalizer" + std::to_string(i));
    for (const char* k : {"useequalizer", "flanger", "echo", "reverb", "echolevel", "reverblevel"})
        expected.push_back(std::string("Sound Box/") + k);
    for (const char* k : {"shuffgo", "smoothshuff", "morphrate"})
        expected.push_back(std::string("Playlist/") + k);
    for (const char* k : {"volume", "playparseind", "numplay"})
        expected.push_back(std::string("General/") + k);
    for (const char* k : {"mainwidth", "mainheight", "mainleft", "maintop", "PlaylistVis", "Playlistwidth",
                          "Playlistheight", "Playlistleft", "Playlisttop", "EqualizerVis", "Equalizerwidth",
                          "Equalizerheight", "Equalizerleft", "Equalizertop"})
        expected.push_back(std::string("Form State/") + k);
    for (int i = 0; i < 20; ++i)
        expected.push_back("Associations/filetype " + std::to_string(i));
    EXPECT_EQ(keyOrder(ReadFile(file.path())), expected);

    EXPECT_EQ(file.readString("Loaded Plugins", "Plugin0", "?"), "in_pcmkit.so");
    EXPECT_EQ(file.readString("Loaded Plugins", "Plugin3", "?"), "") << "a free slot is written empty";
    EXPECT_EQ(file.readString("Form State", "PlaylistVis", ""), "0");
    EXPECT_EQ(file.readString("Associations", "filetype 19", ""), "1");
    EXPECT_EQ(file.readString("General", "volume", ""), "100");
    EXPECT_EQ(file.readString("Sound Box", "echolevel", ""), "4");
    EXPECT_EQ(file.readString("Sound Box", "reverblevel", ""), "5");
}

TEST(Config, SaveReportsAFileThatCannotBeWritten)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("missing/folder/confstate.ini"));
    Controls c;
    EXPECT_FALSE(appconfig::SaveAtClose(file, c, {}));
}

TEST(Config, RemembersTheFolderOfTheFirstChosenFile)
{
    TempDir dir;
    const platform::ProfileFile file(dir.file("confstate.ini"));
    ASSERT_TRUE(appconfig::WriteFilesFolder(file, "/home/user/Music/a b/song.mp3"));
    EXPECT_EQ(appconfig::ReadFilesFolder(file), "/home/user/Music/a b/");
    EXPECT_EQ(appconfig::ReadPlaylistFolder(file), appconfig::DefaultDialogFolder());
}

TEST(Config, EveryStoredSettingHasOneKey)
{
    std::set<std::string> seen;
    for (const appconfig::KeySpec& spec : appconfig::Keys()) {
        std::string folded = std::string(spec.section) + "/" + spec.key;
        std::transform(folded.begin(), folded.end(), folded.begin(), ::tolower);
        EXPECT_TRUE(seen.insert(folded).second) << folded;
    }
    EXPECT_EQ(seen.size(), 8u + 1 + 16 + 3 + 3 + 14 + 20 + 2);
    EXPECT_THROW(appconfig::Key(Setting::FlangerEffect), std::out_of_range);
}

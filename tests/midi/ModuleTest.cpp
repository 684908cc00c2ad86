// The module record without a player: what it claims with and without a
// SoundFont, the file information, the boxes and the settings dialog.

#include "Module.h"
#include "ConfigDialog.h"
#include "Settings.h"

#include "support/MessageBoxRecorder.h"
#include "support/MidiBuilder.h"
#include "support/TempDir.h"

#include "platform/profile.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstring>

using namespace midi;
using testsupport::WriteFile;

namespace {

class MidiModule : public ::testing::Test {
  protected:
    void SetUp() override
    {
        override_settings_file(ini());
        installed = find_soundfont();
        ASSERT_FALSE(installed.empty()) << "a General MIDI SoundFont package is installed";
    }
    void TearDown() override
    {
        m.Quit();
        override_settings_file("");
        override_packaged_soundfonts({});
        cfg_soundfont.clear();
    }

    std::string ini() const { return dir.file("host.ini"); }
    std::string song(const std::string& name, const std::string& bytes)
    {
        WriteFile(dir.file(name), bytes);
        return dir.file(name);
    }
    // Title and length as the host asks for them.
    std::pair<std::string, int> info(const std::string& path)
    {
        char title[256];
        std::memset(title, 'x', sizeof title);
        int length = -1;
        m.GetFileInfo(path.c_str(), title, &length);
        return {title, length};
    }
    std::string extensions() const
    {
        const char* list = m.FileExtensions;
        std::string all;
        while (*list) {
            all += std::string(list) + "|";
            list += std::strlen(list) + 1;
        }
        return all;
    }
    void withoutPackagedSoundFont() { override_packaged_soundfonts({dir.file("missing.sf2")}); }

    testsupport::TempDir dir;
    testsupport::MessageBoxRecorder boxes;
    TInModule& m = plugin_module();
    std::string installed;
};

} // namespace

TEST_F(MidiModule, ClaimsMidiFilesAndDescribesThem)
{
    m.Init();
    EXPECT_EQ(current_soundfont(), installed);
    EXPECT_EQ(extensions(), "MID;MIDI;KAR;RMI|MIDI files (MID,MIDI,KAR,RMI)|");
    EXPECT_EQ(info(song("tone.mid", testsupport::KnownSongBytes("Tone"))), std::make_pair(std::string("Tone"), 1500));
    EXPECT_EQ(info(song("party.kar", testsupport::KnownKaraokeBytes("Party"))),
              std::make_pair(std::string("Party"), 1500));
    EXPECT_EQ(info(song("wrapped.rmi", testsupport::RmidBytes(testsupport::KnownSongBytes("")))),
              std::make_pair(std::string("wrapped"), 1500))
        << "no name in the file: the file's name";
    EXPECT_EQ(info(song("latin.mid", testsupport::KnownSongBytes("Caf\xE9"))),
              std::make_pair(std::string("Caf\xC3\xA9"), 1500));
    const std::string longName(400, 'n');
    EXPECT_EQ(info(song("long.mid", testsupport::KnownSongBytes(longName))),
              std::make_pair(longName.substr(0, 255), 1500));
    std::string accents(128, 'a'), shown(128, 'a');
    for (int i = 0; i < 64; ++i)
        accents += "\xE9"; // Latin-1, shown as two bytes of UTF-8
    for (int i = 0; i < 63; ++i)
        shown += "\xC3\xA9";
    EXPECT_EQ(info(song("accents.mid", testsupport::KnownSongBytes(accents))).first, shown)
        << "at most 255 bytes, never half a character";
    EXPECT_EQ(m.IsOurFile(dir.file("tone.mid").c_str()), 1);

    EXPECT_EQ(info(song("broken.mid", "MThd\0\0\0\6")), std::make_pair(std::string("broken"), 0));
    EXPECT_EQ(info(dir.file("absent.mid")), std::make_pair(std::string("absent"), 0));
    EXPECT_EQ(m.IsOurFile(dir.file("broken.mid").c_str()), 0);
    EXPECT_EQ(m.Play(dir.file("absent.mid").c_str()), -1) << "cannot be read";
    EXPECT_EQ(m.Play(dir.file("broken.mid").c_str()), 1);

    EXPECT_EQ(m.InfoBox(dir.file("party.kar").c_str(), nullptr), 0);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("format 1, 3 track(s), 1 notes\nLength: 0:01"), std::string::npos)
        << boxes.boxes()[0].text;
    EXPECT_EQ(m.InfoBox(dir.file("broken.mid").c_str(), nullptr), 1);
    EXPECT_EQ(boxes.count(), 1u);
}

TEST_F(MidiModule, WithoutASoundFontNothingIsClaimedAndTheBoxesSayWhy)
{
    withoutPackagedSoundFont();
    m.Init();
    EXPECT_EQ(current_soundfont(), "");
    EXPECT_EQ(std::string(m.FileExtensions, 2), std::string("\0\0", 2)) << "an empty list";
    const std::string file = song("tone.mid", testsupport::KnownSongBytes("Tone"));
    EXPECT_EQ(info(file), std::make_pair(std::string("Tone"), 0)) << "a length of 0: not playable here";
    EXPECT_EQ(m.IsOurFile(file.c_str()), 0);
    EXPECT_EQ(m.Play(file.c_str()), 1);

    boxes.clear();
    m.About(nullptr);
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].caption, "About");
    EXPECT_NE(boxes.boxes()[0].text.find("No SoundFont found"), std::string::npos);
    ConfigDialog dialog;
    EXPECT_TRUE(dialog.findChild<QLabel*>("inUse")->text().startsWith("No SoundFont found"));
}

TEST_F(MidiModule, ChosenSoundFontIsSavedAndUsedFromThenOn)
{
    withoutPackagedSoundFont();
    m.Init();
    {
        ConfigDialog dialog;
        dialog.findChild<QLineEdit*>("cfg_soundfont")->setText(QString::fromStdString(installed));
        dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(current_soundfont(), installed);
    EXPECT_EQ(platform::ProfileFile(ini()).readString("IN_MIDI", "cfg_soundfont", ""), installed);
    EXPECT_EQ(extensions(), "MID;MIDI;KAR;RMI|MIDI files (MID,MIDI,KAR,RMI)|");
    EXPECT_EQ(info(song("tone.mid", testsupport::KnownSongBytes("Tone"))).second, 1500);

    // The next start reads the choice.
    m.Quit();
    cfg_soundfont.clear();
    m.Init();
    EXPECT_EQ(current_soundfont(), installed);
    ConfigDialog again;
    EXPECT_EQ(again.findChild<QLineEdit*>("cfg_soundfont")->text().toStdString(), installed);

    // A chosen SoundFont that disappeared gives way to the packaged ones.
    WriteFile(ini(), "[IN_MIDI]\ncfg_soundfont=" + dir.file("gone.sf2") + "\n");
    override_packaged_soundfonts({});
    m.Quit();
    m.Init();
    EXPECT_EQ(current_soundfont(), installed);
}

TEST_F(MidiModule, SettingsDialogRefusesAFileThatIsNotASoundFont)
{
    m.Init();
    const std::string wave = song("not.sf2", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
    ConfigDialog dialog;
    dialog.findChild<QLineEdit*>("cfg_soundfont")->setText(QString::fromStdString(wave));
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_NE(boxes.boxes()[0].text.find("is not a SoundFont file"), std::string::npos);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(current_soundfont(), installed);
    EXPECT_EQ(cfg_soundfont, "");

    // Default empties the choice again.
    dialog.findChild<QPushButton*>("default")->click();
    EXPECT_EQ(dialog.findChild<QLineEdit*>("cfg_soundfont")->text(), "");
}

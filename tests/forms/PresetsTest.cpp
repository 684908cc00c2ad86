// The equalizer presets: the file's numbering through saves and deletes, the
// starting presets, damaged files, and the window that applies them.

#include "FormsHarness.h"

#include "equalizer/EqPresets.h"
#include "equalizer/Presetform.h"
#include "support/MessageBoxRecorder.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace eqpresets;
using namespace formstest;
using platform::ProfileFile;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

Positions Flat()
{
    Positions p;
    p.fill(15);
    return p;
}

Positions Ramp(int start)
{
    Positions p;
    for (int n = 0; n < BandCount; ++n)
        p[n] = start + n;
    return p;
}

// A file with presets "A", "B", "C" (ramps from 1, 2, 3).
TPresetFile ThreePresets(const testsupport::TempDir& dir)
{
    TPresetFile file(dir.file("eqpresets.ini"));
    file.Save("A", Ramp(1));
    file.Save("B", Ramp(2));
    file.Save("C", Ramp(3));
    return file;
}

struct Windows {
    testsupport::MessageBoxRecorder boxes;
    MainWindowParts parts;
    DataFolder& data = parts.data;
    player::TAudioPlayer& player = parts.player;
    TEqualizerform& equalizer = parts.equalizer;
    Tpresetform& presets = *equalizer.presetform();
    Positions sliders() const
    {
        Positions p;
        for (int n = 1; n <= BandCount; ++n)
            p[n - 1] = equalizer.band(n)->Value();
        return p;
    }
    void clickRow(int row)
    {
        const QRect at = presets.Presetlist->visualItemRect(presets.Presetlist->item(row));
        QTest::mouseClick(presets.Presetlist->viewport(), Qt::LeftButton, Qt::NoModifier, at.center());
    }
};

} // namespace

TEST(PresetFile, DeletingTheMiddleOneMovesTheLastDown)
{
    testsupport::TempDir dir;
    TPresetFile file = ThreePresets(dir);
    file.Delete(2, 3);
    EXPECT_EQ(file.Count(), 2);
    EXPECT_EQ(file.Names(), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(file.Read(2), Ramp(3));
    ProfileFile ini(file.path());
    EXPECT_FALSE(ini.sectionExists("Preset3"));
    file.Delete(3, 2); // beyond the list: nothing
    EXPECT_EQ(file.Count(), 2);
}

TEST(PresetFile, MissingAndDamagedValuesReadSafely)
{
    testsupport::TempDir dir;
    EXPECT_EQ(TPresetFile(dir.file("none.ini")).Count(), 0) << "a missing file has no presets";

    WriteFile(dir.file("eq.ini"), "[EqPresets]\nCount=3\n[Preset1]\nName=Bare\n"
                                  "[Preset2]\nName=Wild\nEQ1=99\nEQ2=-4\nEQ3=abc\nEQ4=20\n");
    TPresetFile file(dir.file("eq.ini"));
    EXPECT_EQ(file.Names(), (std::vector<std::string>{"Bare", "Wild", "My preset"}));
    Positions zero{};
    EXPECT_EQ(file.Read(1), zero) << "missing bands are at the bottom, -15 dB";
    const Positions wild = file.Read(2);
    EXPECT_EQ(wild[0], 30);
    EXPECT_EQ(wild[1], 0);
    EXPECT_EQ(wild[2], 0);
    EXPECT_EQ(wild[3], 20);

    WriteFile(dir.file("huge.ini"), "[EqPresets]\nCount=2000000000\n");
    EXPECT_EQ(TPresetFile(dir.file("huge.ini")).Count(), MaxPresets);
    WriteFile(dir.file("neg.ini"), "[EqPresets]\nCount=-7\n");
    EXPECT_EQ(TPresetFile(dir.file("neg.ini")).Count(), 0);
}

TEST(PresetFile, StartingPresetsAreWrittenOnceAndNeverOverTheUsersFile)
{
    testsupport::TempDir dir;
    TPresetFile file(dir.file("eqpresets.ini"));
    EXPECT_TRUE(file.WriteStartingPresetsIfMissing());
    const std::vector<std::string> names = file.Names();
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names.front(), "Flat");
    EXPECT_EQ(names.back(), "Soft");
    EXPECT_EQ(file.Read(1), Flat());

    file.Delete(1, 10);
    EXPECT_FALSE(file.WriteStartingPresetsIfMissing());
    EXPECT_EQ(file.Count(), 9);

    WriteFile(dir.file("mine.ini"), "[EqPresets]\nCount=0\n");
    EXPECT_FALSE(TPresetFile(dir.file("mine.ini")).WriteStartingPresetsIfMissing());
    EXPECT_EQ(ReadFile(dir.file("mine.ini")), "[EqPresets]\nCount=0\n");
}

TEST(PresetWindow, ShowingListsThePresetsAndAClickSetsTheBands)
{
    Windows t;
    t.presets.show();
    EXPECT_EQ(t.presets.windowTitle(), "Presets");
    EXPECT_EQ(t.presets.size(), QSize(Tpresetform::ClientWidth, 253));
    // Room in a title bar for the title beside an icon and three buttons of its height.
    const QFontMetrics title(QApplication::font());
    EXPECT_GE(t.presets.width(), title.horizontalAdvance("Presets") * 3 / 2 + 4 * (title.height() + 8));
    for (QPushButton* button : {t.presets.bnSave, t.presets.BtnDelete}) {
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->text().toStdString();
        EXPECT_TRUE(t.presets.rect().contains(button->geometry()));
    }
    ASSERT_EQ(t.presets.Presetlist->count(), 10) << "the starting presets on first use";
    EXPECT_EQ(t.presets.presetFile().path(), t.data.presets());

    t.clickRow(5); // "Bass Boost"
    EXPECT_EQ(t.presets.PresetName->text(), "Bass Boost");
    EXPECT_EQ(t.sliders(), t.presets.presetFile().Read(6));
    EXPECT_EQ(t.player.EQBandGains()[0], 9.0f) << "every band reached the player";
    EXPECT_EQ(t.equalizer.Label1->text(), "5") << "the last band the preset changed";

    // A preset without band keys sets every band to the bottom.
    ProfileFile(t.data.presets()).writeString("Preset11", "Name", "Empty");
    ProfileFile(t.data.presets()).writeInt("EqPresets", "Count", 11);
    t.presets.RebuildList();
    t.clickRow(10);
    EXPECT_EQ(t.sliders(), Positions{});
    EXPECT_EQ(t.player.EQBandGains()[4], -15.0f);

    // "Load" without a selection does nothing.
    t.presets.Presetlist->clearSelection();
    t.equalizer.Slider1->setValue(22);
    t.presets.btnLoad->click();
    EXPECT_EQ(t.equalizer.Slider1->Value(), 22);
}

TEST(PresetWindow, SaveAndDeleteThroughTheButtons)
{
    Windows t;
    t.presets.show();
    QTest::mouseClick(t.presets.PresetName, Qt::LeftButton);
    EXPECT_TRUE(t.presets.PresetName->text().isEmpty()) << "a click clears the name";

    // An empty name is refused: no nameless preset.
    t.presets.bnSave->click();
    ASSERT_EQ(t.boxes.count(), 1u);
    EXPECT_EQ(t.boxes.boxes()[0].text, "Enter A Name For The Preset");
    EXPECT_EQ(t.presets.Presetlist->count(), 10);
    EXPECT_EQ(TPresetFile(t.data.presets()).Count(), 10);

    t.equalizer.Slider4->setValue(3);
    QTest::keyClicks(t.presets.PresetName, "Mine");
    t.presets.bnSave->click();
    ASSERT_EQ(t.presets.Presetlist->count(), 11);
    EXPECT_EQ(t.presets.Presetlist->item(10)->text(), "Mine");
    EXPECT_EQ(TPresetFile(t.data.presets()).Read(11)[3], 3);

    t.equalizer.Slider4->setValue(4);
    t.presets.bnSave->click();
    EXPECT_EQ(t.presets.Presetlist->count(), 11) << "the same name overwrites";
    EXPECT_EQ(TPresetFile(t.data.presets()).Read(11)[3], 4);

    // Delete with nothing selected does nothing; with "Rock" selected it goes.
    t.presets.Presetlist->clearSelection();
    t.presets.BtnDelete->click();
    EXPECT_EQ(t.presets.Presetlist->count(), 11);
    t.clickRow(1);
    t.presets.BtnDelete->click();
    ASSERT_EQ(t.presets.Presetlist->count(), 10);
    EXPECT_EQ(t.presets.Presetlist->item(1)->text(), "Pop");
    EXPECT_EQ(t.presets.Presetlist->item(9)->text(), "Mine");
    EXPECT_EQ(t.boxes.count(), 1u);
}

// The plug-in configuration window and the plug-ins kept in confstate.ini.
#include "WindowHarness.h"

#include "PlayerHarness.h"
#include "app/PluginConfigDialog.h"
#include "app/config/Config.h"

#include "platform/profile.h"
#include "player/PluginHost.h"
#include "playlist/PlaylistWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <filesystem>

using apptest::MainWindowTest;

namespace {

class PluginConfig : public MainWindowTest {
  protected:
    PluginConfig()
    {
        folder.addPlugin("in_testtone.so", "in_a.so");
        folder.addPlugin("in_testtone.so", "in_b.so");
        folder.addPlugin("in_noexport.so", "in_bad.so");
    }

    TPluginConfigForm& window()
    {
        TPluginConfigForm& w = *form->pluginConfigWindow();
        w.Fill({form->AudioPlayer1().PluginFirst(), form->AudioPlayer1().MessageWindow(), nullptr});
        return w;
    }
    void selectFile(TPluginConfigForm& w, const QString& name)
    {
        w.PluginList->setCurrentItem(w.PluginList->findItems(name, Qt::MatchExactly).value(0));
    }
    QString cell(TPluginConfigForm& w, int row) const
    {
        const QTableWidgetItem* item = w.PluginGrid->item(row, 0);
        return item ? item->text() : QString();
    }
    std::string lastBox() const { return boxes.count() ? boxes.boxes().back().text : std::string(); }

    playertest::ProgramFolder folder;
};

} // namespace

TEST_F(PluginConfig, LoadsAndUnloadsWithTheGivenRefusals)
{
    start();
    TPluginConfigForm& w = window();
    EXPECT_EQ(w.windowTitle(), "Plug-in Configuration");
    EXPECT_EQ(w.PluginList->count(), 3);
    EXPECT_EQ(w.LoadedCount(), 0);

    w.loadButton()->click();
    EXPECT_EQ(lastBox(), "Select plug-in to load first");
    EXPECT_EQ(boxes.boxes().back().caption, "Confirm");
    selectFile(w, "in_bad.so");
    w.loadButton()->click();
    EXPECT_EQ(lastBox(), "Load denied : Not valid Tovarro 2 input plug-in");
    EXPECT_EQ(w.PluginList->count(), 3);

    selectFile(w, "in_a.so");
    w.loadButton()->click();
    selectFile(w, "in_b.so");
    w.loadButton()->click();
    EXPECT_EQ(w.LoadedCount(), 2);
    EXPECT_EQ(cell(w, 0), "in_a.so");
    EXPECT_EQ(cell(w, 1), "in_b.so");
    EXPECT_FALSE(w.PluginGrid->item(0, 1)->text().isEmpty());
    w.loadButton()->click();
    EXPECT_EQ(lastBox(), "Load denied : Already loaded before");

    // The main window's menu lists them.
    QMenu* options = nullptr;
    for (QAction* a : form->menuBar()->actions())
        if (a->text() == "&Options")
            options = a->menu();
    ASSERT_NE(options, nullptr);
    emit options->aboutToShow();
    QMenu* current = nullptr;
    for (QAction* a : options->actions())
        if (a->text() == "Current Plugins")
            current = a->menu();
    ASSERT_EQ(current->actions().size(), 2);
    EXPECT_TRUE(current->actions()[0]->text().startsWith("in_a.so | "));

    w.PluginGrid->setCurrentCell(-1, -1);
    w.unloadButton()->click();
    EXPECT_EQ(lastBox(), "Select plug-in to unload first");
    // An earlier row: the grid is rebuilt without gaps.
    w.PluginGrid->setCurrentCell(0, 0);
    w.unloadButton()->click();
    EXPECT_EQ(w.LoadedCount(), 1);
    EXPECT_EQ(cell(w, 0), "in_b.so");
    EXPECT_EQ(cell(w, 1), "");
    // The last row is emptied.
    w.PluginGrid->setCurrentCell(0, 0);
    w.unloadButton()->click();
    EXPECT_EQ(w.LoadedCount(), 0);
    EXPECT_EQ(cell(w, 0), "");

    const size_t before = boxes.count();
    w.unloadButton()->click();
    w.aboutButton()->click();
    w.configureButton()->click();
    ASSERT_EQ(boxes.count(), before + 3);
    EXPECT_EQ(boxes.boxes()[before].text, "No plug-ins are loaded");
    EXPECT_EQ(boxes.boxes()[before + 1].text, "No plug-ins to query are loaded");
    EXPECT_EQ(boxes.boxes()[before + 2].text, "No plug-ins to configure are loaded");
}

TEST_F(PluginConfig, TheCheckBoxSetsPluginFirstAndTheCommandOpensTheWindow)
{
    start();
    TPluginConfigForm& w = window();
    EXPECT_FALSE(w.PluginFirst->isChecked());
    w.PluginFirst->click();
    EXPECT_TRUE(waitFor([&] { return form->AudioPlayer1().PluginFirst(); }));

    bool shown = false;
    QTimer::singleShot(100, &w, [&] {
        shown = w.isVisible() && w.PluginFirst->isChecked();
        w.closeButton()->click();
    });
    form->runCommand("pluinconfig");
    EXPECT_TRUE(shown);
}

TEST_F(PluginConfig, LoadedPluginsAndPluginFirstSurviveARestart)
{
    testsupport::WriteFile(data.file("confstate.ini"),
                           "[Loaded Plugins]\nPlugin0=in_a.so\nPlugin3=in_missing.so\n[Plugin First]\nyeah=1\n");
    start();
    EXPECT_EQ(player::GetPluginInfo(0).FileName, "in_a.so");
    EXPECT_TRUE(player::GetPluginInfo(3).FileName.empty());
    EXPECT_TRUE(form->AudioPlayer1().PluginFirst());
    form->close();
    form.reset();

    const platform::ProfileFile config(data.file("confstate.ini"));
    EXPECT_EQ(config.readString("Loaded Plugins", "Plugin0", "?"), "in_a.so");
    EXPECT_EQ(config.readString("Loaded Plugins", "Plugin3", "?"), "");
    EXPECT_TRUE(config.readBool("Plugin First", "yeah", false));
}

TEST_F(PluginConfig, AFreshInstallLoadsTheShippedPluginsThenTheSavedListRules)
{
    auto loaded = [] {
        std::vector<std::string> names;
        for (int slot = 0; slot < player::kPluginSlots; ++slot)
            if (const std::string name = player::GetPluginInfo(slot).FileName; !name.empty())
                names.push_back(name);
        std::sort(names.begin(), names.end());
        return names;
    };
    for (int k = 1; k <= 7; ++k)
        folder.addPlugin("in_testtone.so", "in_c" + std::to_string(k) + ".so");
    // Beside them, files that are not input plug-ins.
    for (const char* stray : {"in_a.so.orig", "media_x.so", "readme_in_x.so.txt", "xin_y.so"})
        folder.addPluginFile(stray, "not a plug-in");
    EXPECT_EQ(appconfig::InstalledPluginFiles(),
              (QStringList{"in_a.so", "in_b.so", "in_bad.so", "in_c1.so", "in_c2.so", "in_c3.so", "in_c4.so",
                           "in_c5.so", "in_c6.so", "in_c7.so"}));

    // No settings at all: eight of the nine usable ones, in name order.
    std::filesystem::remove(data.file("confstate.ini"));
    start();
    using Names = std::vector<std::string>;
    EXPECT_EQ(loaded(),
              (Names{"in_a.so", "in_b.so", "in_c1.so", "in_c2.so", "in_c3.so", "in_c4.so", "in_c5.so", "in_c6.so"}));
    EXPECT_EQ(player::GetPluginInfo(0).FileExtensions, "TONE;WAV;VOC;SIN;SINE");
    EXPECT_EQ(boxes.count(), 0u);

    // What the user unloads stays unloaded, even when nothing is left.
    ASSERT_EQ(player::UnloadPlugin("in_b.so"), player::plUnloaded);
    restart();
    EXPECT_EQ(loaded(), (Names{"in_a.so", "in_c1.so", "in_c2.so", "in_c3.so", "in_c4.so", "in_c5.so", "in_c6.so"}));
    for (const std::string& name : loaded())
        ASSERT_EQ(player::UnloadPlugin(name), player::plUnloaded);
    restart();
    EXPECT_EQ(loaded(), Names{});
}

TEST_F(PluginConfig, AFormatOnlyAPluginKnowsIsTitledAndTimedByIt)
{
    testsupport::WriteFile(data.file("confstate.ini"), "[Loaded Plugins]\nPlugin0=in_a.so\n");
    start();
    const std::string song = files.file("song.tone");
    testsupport::WriteFile(song, "title=Band - Song\nlength=65000\n");
    // Claimed by its extension, refused by the plug-in: the file's own name.
    const std::string refused = files.file("other.sine");
    testsupport::WriteFile(refused, "length=0\n");
    addFiles({song, refused});

    const std::vector<playlist::RealboxItem>& items = list().realboxItems().Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].caption.endsWith("Band - Song")) << items[0].caption.toStdString();
    EXPECT_EQ(items[0].time, "01:05");
    EXPECT_TRUE(items[1].caption.endsWith("other")) << items[1].caption.toStdString();
    EXPECT_EQ(items[1].time, "00:00");

    playEntry(0);
    EXPECT_TRUE(waitFor([&] { return form->currentTitle() == "Band - Song"; })) << form->currentTitle().toStdString();
    EXPECT_EQ(boxes.count(), 0u);
}

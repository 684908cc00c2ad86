// The preferences window: pages, the plug-in buttons with every answer, the
// playlist settings and the file types.

#include "FormsHarness.h"

#include "PlayerHarness.h"

#include "platform/winmsg.h"
#include "player/PluginHost.h"
#include "prefs/PreferencesWindow.h"
#include "support/MessageBoxRecorder.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace player;
using playertest::ProgramFolder;

namespace {

struct Prefs {
    ProgramFolder folder;
    testsupport::MessageBoxRecorder boxes;
    std::unique_ptr<TAudioPlayer> player;
    std::unique_ptr<Tprefform> form;

    explicit Prefs(bool withEngine = true) : folder(withEngine) {}
    // Plug-ins go into the folder before the window is made.
    void open()
    {
        player = std::make_unique<TAudioPlayer>();
        form = std::make_unique<Tprefform>(*player);
    }
    ~Prefs()
    {
        form.reset();
        player.reset();
    }
    std::string lastBox() const { return boxes.count() ? boxes.boxes().back().text : std::string(); }
    QStringList available() const
    {
        QStringList names;
        for (int k = 0; k < form->pluginlist->count(); ++k)
            names << form->pluginlist->item(k)->text();
        names.sort();
        return names;
    }
    void choose(const QString& file)
    {
        const auto found = form->pluginlist->findItems(file, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        form->pluginlist->setCurrentItem(found.first());
    }
};

} // namespace

TEST(PrefsWindow, TreePicksThePagesAndTheListsHoldTheirTexts)
{
    Prefs t;
    t.open();
    Tprefform& f = *t.form;
    EXPECT_EQ(f.windowTitle(), "Preferences");
    f.ShowPage("File Types");
    EXPECT_EQ(f.plugincontrol1->currentWidget(), f.filtypprefs);
    f.ShowPage("Playlist");
    EXPECT_EQ(f.plugincontrol1->currentWidget(), f.shuffler);
    EXPECT_EQ(t.boxes.count(), 0u);
    f.ShowPage("Plugins");
    EXPECT_EQ(f.plugincontrol1->currentWidget(), f.inputplug);

    EXPECT_EQ(f.playparse1->count(), 5);
    EXPECT_EQ(f.playparse1->itemText(4), "\"[Title]\"  By [Artist]");
    EXPECT_EQ(f.playparse1->itemText(3), "[Title]  \\ [Artist]");
    ASSERT_EQ(f.CheckfileBox->count(), 20);
    EXPECT_EQ(f.CheckfileBox->item(0)->text(), "MP3");
    EXPECT_EQ(f.CheckfileBox->item(19)->text(), "M3U");
}

TEST(PrefsWindow, AnUnusablePlayerIsReportedAndNothingIsListed)
{
    Prefs t(false);
    t.folder.addPlugin("in_testtone.so", "in_testtone.so");
    t.open();
    ASSERT_FALSE(t.player->PlayerReady());
    t.form->ShowPage("Plugins");
    EXPECT_EQ(t.lastBox(), "Player is not ready !");
    EXPECT_EQ(t.boxes.boxes()[0].caption, "Confirm");
    EXPECT_EQ(t.form->pluginlist->count(), 0);
    EXPECT_TRUE(t.form->GridCell(1, 0).isEmpty());
    EXPECT_EQ(t.form->LoadedRows(), 0);
}

TEST(PrefsWindow, InstallAnswersEveryLoadResult)
{
    Prefs t;
    for (int k = 1; k <= 9; ++k)
        t.folder.addPlugin("in_testtone.so", "in_tone" + std::to_string(k) + ".so");
    t.folder.addPlugin("in_noexport.so", "in_noexport.so");
    t.folder.addPluginFile("in_broken.so", "not a library");
    t.folder.addPluginFile("readme.txt", "not a plug-in name");
    t.open();
    Tprefform& f = *t.form;

    f.ShowPage("Plugins");
    EXPECT_EQ(t.boxes.count(), 0u);
    EXPECT_EQ(t.available().size(), 11);
    EXPECT_FALSE(t.available().contains("readme.txt"));
    EXPECT_EQ(f.LoadedRows(), Tprefform::GridRowCount);

    f.pluginlist->clearSelection();
    f.InstallPlugin();
    EXPECT_EQ(t.lastBox(), "Select plug-in to load first");

    t.choose("in_tone1.so");
    f.installButton()->click();
    EXPECT_EQ(t.boxes.count(), 1u);
    EXPECT_EQ(f.GridCell(1, 0), "in_tone1.so");
    EXPECT_EQ(f.GridCell(1, 1), "Test tone plug-in");
    f.installButton()->click();
    EXPECT_EQ(t.lastBox(), "Load denied : Already loaded before");

    t.choose("in_noexport.so");
    f.installButton()->click();
    EXPECT_EQ(t.lastBox(), "Load denied : Not valid Tovarro 2 input plug-in");
    t.choose("in_broken.so");
    f.installButton()->click();
    EXPECT_EQ(t.lastBox(), "Load denied : Unknown Error");

    for (int k = 2; k <= 8; ++k) {
        t.choose(QString("in_tone%1.so").arg(k));
        f.installButton()->click();
    }
    EXPECT_EQ(t.boxes.count(), 4u);
    EXPECT_EQ(f.GridCell(8, 0), "in_tone8.so");
    t.choose("in_tone9.so");
    f.installButton()->click();
    EXPECT_EQ(t.lastBox(), "Only 8 Plugins Can Be Loaded At A Time");
    for (const auto& box : t.boxes.boxes())
        EXPECT_EQ(box.caption, "Confirm");
}

TEST(PrefsWindow, UninstallConfigureAndAboutNeedAFilledPageAndASelectedRow)
{
    Prefs t;
    t.folder.addPlugin("in_testtone.so", "in_a.so");
    t.folder.addPlugin("in_testtone.so", "in_b.so");
    t.open();
    Tprefform& f = *t.form;

    f.uninstallButton()->click();
    EXPECT_EQ(t.lastBox(), "No plug-ins are loaded") << "before the page was ever filled";
    f.configureButton()->click();
    EXPECT_EQ(t.lastBox(), "No Plug-ins are loaded");
    f.aboutButton()->click();
    EXPECT_EQ(t.lastBox(), "No plug-ins are loaded");
    ASSERT_EQ(t.boxes.count(), 3u);

    ASSERT_EQ(LoadPlugin("in_a.so"), plLoaded);
    ASSERT_EQ(LoadPlugin("in_b.so"), plLoaded);
    f.ShowPage("Plugins");
    EXPECT_EQ(f.GridCell(2, 0), "in_b.so");
    f.SelectGridRow(0);
    f.uninstallButton()->click();
    EXPECT_EQ(t.lastBox(), "Select plug-in to unload first");
    f.configureButton()->click();
    EXPECT_EQ(t.lastBox(), "Select plug-in First");
    f.aboutButton()->click();
    EXPECT_EQ(t.lastBox(), "Select Plug-in");
    f.SelectGridRow(5); // an empty row
    f.uninstallButton()->click();
    EXPECT_EQ(t.lastBox(), "Select plug-in to unload first");

    // The plug-in's own dialogs open over the preferences window.
    f.SelectGridRow(2);
    f.aboutButton()->click();
    EXPECT_EQ(t.lastBox(), "Test tone plug-in");
    EXPECT_EQ(platform::WindowWidget(t.boxes.boxes().back().owner), &f);
    f.configureButton()->click();
    EXPECT_EQ(t.lastBox(), "Nothing to set.");

    const std::size_t before = t.boxes.count();
    f.SelectGridRow(1);
    f.uninstallButton()->click();
    EXPECT_EQ(t.boxes.count(), before);
    EXPECT_EQ(FindPlugin("in_a.so"), -1);
    EXPECT_EQ(f.GridCell(1, 0), "in_b.so") << "the grid was refilled";
    EXPECT_TRUE(f.GridCell(2, 0).isEmpty());
}

TEST(PrefsWindow, EssentialPluginsLoadOnlyTheRequiredOnes)
{
    Prefs t;
    t.folder.addPlugin("in_testtone.so", "in_req_one.so");
    t.folder.addPlugin("in_testtone.so", "in_req_two.so");
    t.folder.addPlugin("in_testtone.so", "in_extra.so");
    t.open();
    Tprefform& f = *t.form;
    f.essentialButton()->click();
    EXPECT_EQ(t.lastBox(), "No plug-ins available to load") << "the page was not filled yet";
    f.ShowPage("Plugins");
    f.essentialButton()->click();
    EXPECT_EQ(t.boxes.count(), 1u);
    EXPECT_GE(FindPlugin("in_req_one.so"), 0);
    EXPECT_GE(FindPlugin("in_req_two.so"), 0);
    EXPECT_EQ(FindPlugin("in_extra.so"), -1);
    QStringList rows{f.GridCell(1, 0), f.GridCell(2, 0)};
    rows.sort();
    EXPECT_EQ(rows, QStringList({"in_req_one.so", "in_req_two.so"}));
    f.essentialButton()->click();
    EXPECT_EQ(t.boxes.count(), 1u) << "loading them again reports nothing";
}

TEST(PrefsWindow, PluginPriorityFollowsTheCheckBoxBothWays)
{
    Prefs t;
    t.open();
    t.player->SetPluginFirst(true);
    t.form->ShowPage("Plugins");
    EXPECT_TRUE(t.form->plugcheck->isChecked());
    t.form->plugcheck->click();
    EXPECT_FALSE(t.player->PluginFirst());
}

TEST(PrefsWindow, ShuffleBoxesUncheckEachOtherAndTheButtonsAskTheMainWindow)
{
    Prefs t;
    t.open();
    Tprefform& f = *t.form;
    QSignalSpy changed(&f, &Tprefform::settingsChanged);
    QSignalSpy apply(&f, &Tprefform::applyTitleFormatRequested);
    QSignalSpy associate(&f, &Tprefform::associateRequested);

    f.shuffgo->click();
    EXPECT_TRUE(f.shuffgo->isChecked());
    EXPECT_FALSE(f.smoothshuff->isChecked());
    f.smoothshuff->click(); // checks it: "Shuffle And Go" goes off
    EXPECT_TRUE(f.smoothshuff->isChecked());
    EXPECT_FALSE(f.shuffgo->isChecked());
    f.smoothshuff->click(); // unchecks it: "Shuffle And Go" comes back
    EXPECT_FALSE(f.smoothshuff->isChecked());
    EXPECT_TRUE(f.shuffgo->isChecked());
    EXPECT_EQ(changed.count(), 3);

    f.numplay1->click();
    f.playparse1->setCurrentIndex(2);
    EXPECT_EQ(changed.count(), 5);
    f.playparapply->click();
    EXPECT_EQ(apply.count(), 1);

    // "None" then "Associate": no marks, and the association is the main window's business.
    f.allTypesButton()->click();
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(f.CheckfileBox->item(k)->checkState(), Qt::Checked);
    f.noTypesButton()->click();
    f.associateButton()->click();
    EXPECT_EQ(associate.count(), 1);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(f.CheckfileBox->item(k)->checkState(), Qt::Unchecked);
    EXPECT_EQ(t.boxes.count(), 0u);
}

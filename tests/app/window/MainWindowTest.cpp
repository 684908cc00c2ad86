// The main window's start-up, its command list and menus, the command line,
// and a full restart keeping the playlist and every setting.
#include "WindowHarness.h"

#include "app/BuiltInIcons.h"
#include "app/MainWindowSettings.h"
#include "app/PluginConfigDialog.h"
#include "app/display/TrackText.h"
#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "equalizer/PresetsWindow.h"
#include "platform/profile.h"
#include "playlist/PlaylistWindow.h"
#include "playlist/SavedPlaylist.h"
#include "prefs/AboutBox.h"
#include "prefs/PreferencesWindow.h"
#include "support/MappedLibraries.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleFactory>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

using appconfig::Setting;
using apptest::MainWindowTest;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

QMenu* menuTitled(TForm1& form, const QString& title)
{
    for (QAction* a : form.menuBar()->actions())
        if (a->text() == title)
            return a->menu();
    return nullptr;
}

QAction* itemTitled(QMenu* menu, const QString& title)
{
    for (QAction* a : menu->actions())
        if (a->text() == title)
            return a;
    return nullptr;
}

std::vector<QString> captions(const playlist::Tplayl& list)
{
    std::vector<QString> out;
    for (int k = 0; k < list.realboxItems().Count(); ++k)
        out.push_back(list.realboxItems().Item(k).caption + " | " + list.realboxItems().Item(k).time);
    return out;
}

} // namespace

TEST_F(MainWindowTest, StartsWithTheDefaultLayoutAndSettingsWithoutConfstate)
{
    TForm1& f = start();
    // The sizes kept are outer sizes, frame included (here there is no frame).
    EXPECT_EQ(f.frameGeometry(), QRect(97, 125, 330, 177));
    EXPECT_TRUE(list().isVisible());
    EXPECT_EQ(list().frameGeometry(), QRect(427, 427, 300, 322));
    EXPECT_TRUE(f.equalizerWindow()->isVisible());
    EXPECT_EQ(f.equalizerWindow()->frameGeometry(), QRect(97, 302, 330, 145));

    EXPECT_EQ(f.volumeSlider()->Value(), 100);
    const Tprefform& prefs = *f.preferencesWindow();
    EXPECT_EQ(prefs.playparse1->currentIndex(), 0);
    EXPECT_TRUE(prefs.numplay1->isChecked());
    EXPECT_TRUE(prefs.smoothshuff->isChecked());
    EXPECT_FALSE(prefs.shuffgo->isChecked());
    EXPECT_EQ(prefs.TrackBar1->value(), 70);
    for (int item = 0; item < prefs.CheckfileBox->count(); ++item)
        EXPECT_EQ(prefs.CheckfileBox->item(item)->checkState(), Qt::Unchecked) << item;

    EXPECT_EQ(f.displayCaption(), "Orvella");
    EXPECT_EQ(f.elapsedText(), "00:00");
    EXPECT_EQ(f.playindex(), "0");
    EXPECT_FALSE(f.repeat());
    EXPECT_EQ(list().Count(), 0);
    EXPECT_NE(f.AudioPlayer1().Mode(), player::psPlaying);
    // The status follows the player's mode once the status timer runs.
    EXPECT_TRUE(waitFor([&] { return f.statusText() == display::StatusText(f.AudioPlayer1().Mode()); }));
    EXPECT_EQ(boxes.count(), 0u);
}

TEST_F(MainWindowTest, CommandListHoldsEveryCommandInOrderWithCaptionsAndShortcuts)
{
    TForm1& f = start();
    const QStringList expected = {
        "playon",          "playnow",          "playbt1",         "stopbt1",      "prevbt1",     "nextbt1",
        "toggleplaylist1", "deletebt1",        "openbt1",         "cropbt1",      "loadplbt1",   "saveplbt1",
        "additemsbt1",     "clearplaylistbt1", "setlabelinfo1",   "mpeginfo1",    "deletenow",   "numplaylist1",
        "stepforward1",    "stepbackward1",    "setcurrenttime1", "loadplaction", "loadfiles1",  "addaction1",
        "notfileexist1",   "loadmultipl1",     "pausebtt1",       "eqchange",     "pluinconfig", "prefformshow",
        "showeq",          "togglerepeat1",    "volumeup1",       "volumedown1",  "shuffleact",  "showpresets",
        "timelist1",       "realbxdblclick1",  "goassociate",     "procusme",     "renumber",    "firstrun",
        "savedpath"};
    EXPECT_EQ(f.commandNames(), expected);
    for (const QString& name : expected)
        ASSERT_NE(f.commandAction(name), nullptr) << name.toStdString();
    EXPECT_EQ(f.commandAction("nosuchcommand"), nullptr);

    EXPECT_EQ(f.commandAction("openbt1")->text(), "Clear And Add..");
    EXPECT_EQ(f.commandAction("pluinconfig")->text(), "pluginconfig");
    EXPECT_EQ(f.commandAction("deletenow")->text(), "Delete Selected");
    EXPECT_EQ(f.commandAction("stopbt1")->text(), "stopbt1");
    EXPECT_EQ(f.commandAction("playnow")->shortcut(), QKeySequence(Qt::Key_Return));
    EXPECT_EQ(f.commandAction("deletenow")->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(f.commandAction("stepforward1")->shortcut(), QKeySequence("Ctrl+Right"));
    EXPECT_EQ(f.commandAction("stepbackward1")->shortcut(), QKeySequence("Ctrl+Left"));
    EXPECT_EQ(f.commandAction("volumeup1")->shortcut(), QKeySequence("Ctrl+Up"));
    EXPECT_EQ(f.commandAction("volumedown1")->shortcut(), QKeySequence("Ctrl+Down"));

    // The hidden command box runs a command by its name; an unknown name does nothing.
    EXPECT_EQ(f.findChild<QComboBox*>("ComboBox1"), nullptr);
    QComboBox* box = f.commandBox();
    EXPECT_EQ(f.findChild<QComboBox*>("ComboBox1"), box);
    auto* go = f.findChild<QPushButton*>("Button11");
    ASSERT_TRUE(box && go);
    EXPECT_EQ(box->count(), expected.size());
    EXPECT_EQ(go->text(), "GO>>");
    box->setCurrentText("togglerepeat1");
    go->click();
    EXPECT_TRUE(f.repeat());
    box->setCurrentText("no such command");
    go->click();
    EXPECT_TRUE(f.repeat());

    // The desktop integration's commands do nothing until it sets them.
    f.runCommand("goassociate");
    int runs = 0;
    f.onFirstRun = [&] { ++runs; };
    f.runCommand("firstrun");
    EXPECT_EQ(runs, 1);
}

TEST_F(MainWindowTest, CommandErrorsAreShownAndEndTheCommand)
{
    TForm1& f = start();
    f.onGoAssociate = [] { throw std::runtime_error("association failed"); };
    f.runCommand("goassociate");
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "association failed");
    EXPECT_EQ(boxes.boxes()[0].icon(), MB_ICONERROR);
}

TEST_F(MainWindowTest, MenusShowTheStateOfRepeatTheWindowsAndThePlugins)
{
    TForm1& f = start();
    QMenu* play = menuTitled(f, "&Play");
    QMenu* view = menuTitled(f, "&View");
    QMenu* options = menuTitled(f, "&Options");
    ASSERT_TRUE(play && view && options);

    QAction* repeat = itemTitled(play, "Repeat");
    ASSERT_NE(repeat, nullptr);
    emit play->aboutToShow();
    EXPECT_FALSE(repeat->isChecked());
    repeat->trigger();
    EXPECT_TRUE(f.repeat());
    EXPECT_TRUE(repeat->isChecked());
    f.runCommand("togglerepeat1");
    emit play->aboutToShow();
    EXPECT_FALSE(repeat->isChecked());

    f.runCommand("showeq");
    emit view->aboutToShow();
    EXPECT_TRUE(itemTitled(view, "Playlist..")->isChecked());
    EXPECT_FALSE(itemTitled(view, "Equalizer..")->isChecked());
    itemTitled(view, "Playlist..")->trigger();
    EXPECT_FALSE(list().isVisible());

    emit options->aboutToShow();
    QMenu* plugins = itemTitled(options, "Current Plugins")->menu();
    ASSERT_EQ(plugins->actions().size(), 1);
    EXPECT_EQ(plugins->actions()[0]->text(), "No Plugins Loaded");
    emit options->aboutToShow();
    EXPECT_EQ(plugins->actions().size(), 1);
}

TEST_F(MainWindowTest, TwoArgumentsAnMp3ThenAPlsFillThePlaylistWithoutPlaying)
{
    // A saved playlist that the command line replaces.
    playlist::WriteSavedPlaylist(playlist::SavedPlaylistFolder(), {{"/saved/old.wav"}, {"Old"}, {"00:01"}});
    std::filesystem::create_directories(files.file("sub"));
    std::filesystem::copy_file(testsupport::TestData("bass/tone.mp3"), files.file("a.mp3"));
    wavFile("sub/b.wav", 2.0);
    const std::string ogg = testsupport::TestData("bass/tone.ogg");
    // The relative entry resolves against the current folder.
    WriteFile(files.file("list.pls"), "[playlist]\r\nFile1=sub/b.wav\r\nFile2=" + ogg + "\r\nNumberOfEntries=2\r\n");
    QDir::setCurrent(QString::fromStdString(files.path()));

    TForm1& f = start({"a.mp3", "list.pls"});
    ASSERT_EQ(list().Count(), 3);
    EXPECT_EQ(list().ListBox1[0], files.file("a.mp3"));
    EXPECT_EQ(list().ListBox1[1], files.file("sub/b.wav"));
    EXPECT_EQ(list().ListBox1[2], ogg);
    const std::vector<QString> shown = captions(list());
    EXPECT_EQ(shown[0], "1. a | 00:01");
    EXPECT_EQ(shown[1], "2. B.wav | 00:02");
    EXPECT_EQ(shown[2], "3. tone | 00:01");
    QTest::qWait(200);
    EXPECT_NE(f.AudioPlayer1().Mode(), player::psPlaying);
    EXPECT_TRUE(playing().empty());
}

TEST_F(MainWindowTest, AFullRestartKeepsThePlaylistAndEverySetting)
{
    TForm1& f = start();
    addFiles({wavFile("one.wav", 1.0), wavFile("two.wav", 2.0), testsupport::TestData("bass/tone.mp3")});
    const std::vector<QString> before = captions(list());
    const std::vector<std::string> paths = list().ListBox1.Items();
    ASSERT_EQ(before.size(), 3u);
    EXPECT_EQ(before[0], "1. One.wav | 00:01");

    TEqualizerform& eq = *f.equalizerWindow();
    Tprefform& prefs = *f.preferencesWindow();
    f.volumeSlider()->setValue(37);
    eq.band(4)->setValue(22);
    eq.eqcheck->setChecked(true);
    prefs.playparse1->setCurrentIndex(2);
    prefs.numplay1->setChecked(false);
    prefs.shuffgo->setChecked(true);
    prefs.TrackBar1->setValue(40);
    prefs.CheckfileBox->item(5)->setCheckState(Qt::Checked);
    const bool smooth = prefs.smoothshuff->isChecked();
    list().move(500, 90);
    list().resize(320, 400);
    eq.hide();
    f.move(150, 160);
    f.setRepeat(true);

    TForm1& g = restart();
    EXPECT_EQ(captions(list()), before);
    EXPECT_EQ(list().ListBox1.Items(), paths);
    EXPECT_EQ(g.pos(), QPoint(150, 160));
    EXPECT_EQ(list().pos(), QPoint(500, 90));
    EXPECT_EQ(list().size(), QSize(320, 400));
    EXPECT_FALSE(g.equalizerWindow()->isVisible());
    EXPECT_EQ(g.volumeSlider()->Value(), 37);
    EXPECT_EQ(g.equalizerWindow()->band(4)->Value(), 22);
    EXPECT_FLOAT_EQ(g.AudioPlayer1().EQBandGains()[3], 7.0f);
    EXPECT_TRUE(g.equalizerWindow()->eqcheck->isChecked());
    EXPECT_EQ(g.preferencesWindow()->playparse1->currentIndex(), 2);
    EXPECT_FALSE(g.preferencesWindow()->numplay1->isChecked());
    EXPECT_TRUE(g.preferencesWindow()->shuffgo->isChecked());
    EXPECT_EQ(g.preferencesWindow()->smoothshuff->isChecked(), smooth);
    EXPECT_EQ(g.preferencesWindow()->TrackBar1->value(), 40);
    EXPECT_EQ(g.preferencesWindow()->CheckfileBox->item(5)->checkState(), Qt::Checked);
    EXPECT_EQ(g.preferencesWindow()->CheckfileBox->item(4)->checkState(), Qt::Unchecked);
    // The playlist window works with the restored preferences.
    EXPECT_EQ(list().titleFormat(), 2);
    EXPECT_FALSE(list().numbering());
    EXPECT_TRUE(list().shuffleAndGo());
    // Repeat is kept too.
    EXPECT_TRUE(g.repeat());
    EXPECT_EQ(platform::ProfileFile(data.file("confstate.ini")).readString("General", "repeat", ""), "1");
    g.setRepeat(false);
    EXPECT_FALSE(restart().repeat());
}

TEST_F(MainWindowTest, ThePreferencesWindowIsMadeAtItsFirstShowingAndItsSettingsOutliveSessionsWithoutIt)
{
    Tprefform& prefs = *start().preferencesWindow();
    prefs.playparse1->setCurrentIndex(3);
    prefs.numplay1->setChecked(false);
    prefs.shuffgo->setChecked(true);
    prefs.TrackBar1->setValue(55);
    prefs.CheckfileBox->item(2)->setCheckState(Qt::Checked);

    // A session that never opens the window still hands the settings to the
    // playlist and writes them back unchanged.
    TForm1& g = restart();
    EXPECT_EQ(g.findChild<Tprefform*>(), nullptr);
    EXPECT_EQ(list().titleFormat(), 3);
    EXPECT_FALSE(list().numbering());
    EXPECT_TRUE(list().shuffleAndGo());
    TForm1& h = restart();
    const platform::ProfileFile config(data.file("confstate.ini"));
    EXPECT_EQ(config.readString("General", "playparseind", ""), "3");
    EXPECT_EQ(config.readString("General", "numplay", ""), "0");
    EXPECT_EQ(config.readString("Playlist", "shuffgo", ""), "1");
    EXPECT_EQ(config.readString("Playlist", "smoothshuff", ""), "0");
    EXPECT_EQ(config.readString("Playlist", "morphrate", ""), "55");
    EXPECT_EQ(config.readString("Associations", "filetype 2", ""), "1");
    EXPECT_EQ(config.readString("Associations", "filetype 3", ""), "0");

    // Made late, the window shows them, and what is changed there reaches the playlist.
    h.runCommand("prefformshow");
    Tprefform* late = h.findChild<Tprefform*>();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(h.preferencesWindow(), late);
    EXPECT_TRUE(late->isVisible());
    EXPECT_EQ(late->playparse1->currentIndex(), 3);
    EXPECT_FALSE(late->numplay1->isChecked());
    EXPECT_TRUE(late->shuffgo->isChecked());
    EXPECT_FALSE(late->smoothshuff->isChecked());
    EXPECT_EQ(late->TrackBar1->value(), 55);
    EXPECT_EQ(late->CheckfileBox->item(2)->checkState(), Qt::Checked);
    late->numplay1->setChecked(true);
    EXPECT_TRUE(list().numbering());
    late->smoothshuff->setChecked(true);
    EXPECT_FALSE(list().shuffleAndGo());
}

TEST_F(MainWindowTest, AWindowWhoseTitleBarWouldBeOffScreenComesBackOntoIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    platform::ProfileFile config(data.file("confstate.ini"));
    config.writeInt("Form State", "maintop", screen.top() - 300);
    config.writeInt("Form State", "mainleft", 50);
    config.writeInt("Form State", "Playlistleft", screen.right() + 500);
    config.writeInt("Form State", "Playlisttop", 100);
    config.writeInt("Form State", "Equalizerleft", screen.left() - 100); // its title bar still shows
    config.writeInt("Form State", "Equalizertop", 200);
    TForm1& f = start();
    EXPECT_EQ(f.frameGeometry().topLeft(), QPoint(50, screen.top()));
    EXPECT_EQ(list().frameGeometry().topLeft(), QPoint(screen.right() + 1 - 300, 100));
    EXPECT_EQ(f.equalizerWindow()->frameGeometry().topLeft(), QPoint(screen.left() - 100, 200));
}

TEST_F(MainWindowTest, EveryWindowCarriesTheProgramIcon)
{
    TForm1& f = start();
    const QIcon icon = QApplication::windowIcon();
    for (int size : {16, 32, 48}) {
        const QImage drawn = icon.pixmap(size, size).toImage();
        ASSERT_EQ(drawn.size(), QSize(size, size));
        EXPECT_GT(qAlpha(drawn.pixel(size / 2, size / 2)), 0) << "the icon is drawn at " << size << " px";
    }
    // Drawing the icon from its SVG at start costs more than the rest of the window's pictures.
    EXPECT_FALSE(testsupport::LibraryMapped("qsvgicon")) << "the SVG icon engine loaded at start";
    f.showeq();
    f.showpresets();
    f.prefformshow();
    f.aboutBox();
    f.pluginConfigWindow();
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(window->windowIcon().cacheKey(), icon.cacheKey()) << window->metaObject()->className();
}

// On X11, Qt sends the icon twice to a window made while the program has one.
TEST_F(MainWindowTest, TheProgramTakesItsIconOnceTheWindowsShownAtStartExist)
{
    QApplication::setWindowIcon(QIcon()); // as in a program just started
    struct Watch : QObject {
        std::optional<std::vector<QWidget*>> windowsMade; // when the program took its icon
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::ApplicationWindowIconChange && !windowsMade) {
                windowsMade.emplace();
                for (QWidget* window : QApplication::topLevelWidgets())
                    if (window->testAttribute(Qt::WA_WState_Created))
                        windowsMade->push_back(window);
            }
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    TForm1& f = start();
    qApp->removeEventFilter(&watch);
    ASSERT_FALSE(QApplication::windowIcon().isNull());
    ASSERT_TRUE(watch.windowsMade);
    for (QWidget* shown : std::initializer_list<QWidget*>{&f, &list(), f.equalizerWindow()}) {
        ASSERT_TRUE(shown->isVisible()) << shown->metaObject()->className();
        EXPECT_NE(std::find(watch.windowsMade->begin(), watch.windowsMade->end(), shown), watch.windowsMade->end())
            << shown->metaObject()->className() << " was made after the program took its icon";
    }
}

TEST_F(MainWindowTest, TheStylesIconsAtStartAreDrawnByTheBuildWithoutAnImagePlugin)
{
    if (testsupport::LibraryMapped("imageformats/"))
        GTEST_SKIP() << "an earlier test in this process loaded the image plug-ins";
    UseBuiltInIconStyle(); // as the program does before its window
    TForm1& f = start();
    // Qt asks every image plug-in about an icon file it reads, and loads them all.
    EXPECT_FALSE(testsupport::LibraryMapped("imageformats/")) << "an image plug-in loaded at start";

    // The same pixels as the style draws, in the same order on the buttons.
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("fusion")));
    const std::pair<const char*, QStyle::StandardPixmap> buttons[] = {
        {"Button1", QStyle::SP_MediaSkipBackward}, {"Button2", QStyle::SP_MediaPlay},
        {"Button3", QStyle::SP_MediaPause},        {"Button4", QStyle::SP_MediaStop},
        {"Button5", QStyle::SP_MediaSkipForward},
    };
    for (const auto& [name, icon] : buttons) {
        const auto* button = f.findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        for (int size : {16, 32}) {
            // Compared as painting blends them; the style's PNGs carry a colour space, ours none.
            const auto pixels = [size](const QIcon& icon) {
                const QImage image =
                    icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
                return QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
            };
            EXPECT_EQ(pixels(button->icon()), pixels(fusion->standardIcon(icon))) << name << " at " << size << " px";
        }
    }
    // The menu bar's extension arrow lies centred in its square.
    const QImage arrow = f.style()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton).pixmap(16, 16).toImage();
    ASSERT_EQ(arrow.size(), QSize(16, 16));
    EXPECT_GT(qAlpha(arrow.pixel(8, 8)), 0);
    EXPECT_EQ(qAlpha(arrow.pixel(0, 0)), 0);
}

TEST_F(MainWindowTest, TheAboutBoxThePluginConfigurationAndThePresetsAreMadeAtTheirFirstUse)
{
    TForm1& f = start();
    EXPECT_EQ(f.findChild<TForm2*>(), nullptr);
    EXPECT_EQ(f.findChild<TPluginConfigForm*>(), nullptr);
    EXPECT_EQ(f.findChild<Tpresetform*>(), nullptr);

    TForm2* about = f.aboutBox();
    EXPECT_EQ(f.aboutBox(), about);
    TPluginConfigForm* config = f.pluginConfigWindow();
    EXPECT_EQ(f.pluginConfigWindow(), config);
    f.showpresets();
    f.showpresets();
    EXPECT_TRUE(f.equalizerWindow()->presetform()->isVisible());
    EXPECT_EQ(f.findChildren<TForm2*>().size(), 1);
    EXPECT_EQ(f.findChildren<TPluginConfigForm*>().size(), 1);
    EXPECT_EQ(f.findChildren<Tpresetform*>().size(), 1);
}

TEST_F(MainWindowTest, AHiddenPlaylistWindowStaysHiddenAndAnUnwritablePlaylistKeepsTheSettings)
{
    TForm1& f = start();
    addFiles({wavFile("one.wav", 1.0)});
    f.runCommand("toggleplaylist1");
    f.volumeSlider()->setValue(55);
    // A folder where the playlist's files should go: they cannot be written.
    std::filesystem::create_directories(data.file("Playlist/dummy.asv"));
    f.close();
    EXPECT_EQ(boxes.count(), 1u);
    form.reset();
    std::filesystem::remove_all(data.file("Playlist/dummy.asv"));

    TForm1& g = start();
    EXPECT_FALSE(list().isVisible());
    EXPECT_EQ(g.volumeSlider()->Value(), 55);
}

TEST_F(MainWindowTest, EachStoredSettingReachesItsOwnControlAndNoOther)
{
    TForm1& f = start();
    MainWindowSettings settings(f);
    // The window sizes and places, shown as a whole by the restart tests, and
    // the plug-in switch, which the settings only save, are left out.
    const std::set<Setting> notHere = {Setting::MainWidth,      Setting::MainHeight,     Setting::MainLeft,
                                       Setting::MainTop,        Setting::PlaylistVis,    Setting::PlaylistWidth,
                                       Setting::PlaylistHeight, Setting::PlaylistLeft,   Setting::PlaylistTop,
                                       Setting::EqualizerVis,   Setting::EqualizerWidth, Setting::EqualizerHeight,
                                       Setting::EqualizerLeft,  Setting::EqualizerTop,   Setting::PluginFirst};
    std::vector<appconfig::KeySpec> keys;
    for (const appconfig::KeySpec& key : appconfig::Keys())
        if (key.type != appconfig::ValueType::String && !notHere.count(key.setting))
            keys.push_back(key);
    ASSERT_EQ(keys.size(), 10u + 6 + 3 + 4 + 20);
    auto isShuffleSwitch = [](Setting s) { return s == Setting::ShuffleAndGo || s == Setting::SmoothShuffle; };
    auto values = [&] {
        std::vector<int> now;
        for (const appconfig::KeySpec& key : keys)
            now.push_back(settings.current(key.setting, key.index));
        return now;
    };

    for (std::size_t k = 0; k < keys.size(); ++k) {
        std::vector<int> expected = values();
        // 2 and 3 are in every slider's and list's range.
        const int before = expected[k];
        expected[k] = keys[k].type == appconfig::ValueType::Boolean ? 1 - before : before == 3 ? 2 : 3;
        // "Shuffle And Go" and "Smooth Shuffle" are each other's opposite.
        for (std::size_t other = 0; other < keys.size(); ++other)
            if (other != k && isShuffleSwitch(keys[other].setting) && isShuffleSwitch(keys[k].setting))
                expected[other] = 1 - expected[k];
        settings.apply(keys[k].setting, keys[k].index, expected[k]);
        EXPECT_EQ(values(), expected) << keys[k].section << " " << keys[k].key;
    }
}

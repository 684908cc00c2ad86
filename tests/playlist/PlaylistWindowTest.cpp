#include "playlist/OpenFilter.h"
#include "playlist/Playlist.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistText.h"
#include "playlist/SavedPlaylist.h"
#include "playlist/Shuffle.h"

#include "app/config/Config.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <deque>

using namespace playlist;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Answers the program's file dialogs from a script and keeps what they were asked.
struct ScriptedDialogs {
    struct Answer {
        QStringList files; // none: cancelled
        int filterIndex = 1;
    };
    std::deque<Answer> answers;
    std::vector<TFileDialog> shown;
    FileDialogPresenter previous;

    ScriptedDialogs()
    {
        previous = SetFileDialogPresenter([this](TFileDialog& dialog, QWidget*) {
            shown.push_back(dialog);
            if (answers.empty() || answers.front().files.isEmpty()) {
                if (!answers.empty())
                    answers.pop_front();
                return false;
            }
            const Answer answer = answers.front();
            answers.pop_front();
            dialog.Files = answer.files;
            dialog.FileName = answer.files.first();
            dialog.FilterIndex = answer.filterIndex;
            return true;
        });
    }
    ~ScriptedDialogs() { SetFileDialogPresenter(previous); }
};

struct DataFolder {
    TempDir data;
    QString cwd = QDir::currentPath();
    DataFolder() { setenv("ORVELLA_DATA_DIR", data.path().c_str(), 1); }
    ~DataFolder()
    {
        unsetenv("ORVELLA_DATA_DIR");
        QDir::setCurrent(cwd);
    }
};

struct Window : DataFolder {
    ScriptedDialogs dialogs;
    testsupport::MessageBoxRecorder boxes;
    Tplayl w;

    Window()
    {
        w.setFileExtensions([] { return std::make_pair(QString("*.wav;*.mp3;"), QString("*.VOC;")); });
    }
    // Entries that no reader knows: each shows its file name and 00:00.
    void add(const QStringList& names)
    {
        QStringList files;
        for (const QString& name : names)
            files << "/music/" + name + ".xyz";
        w.DropFileTarget1Drop(files);
    }
    std::vector<QString> captions() const
    {
        std::vector<QString> out;
        for (const RealboxItem& item : w.realboxItems().Items())
            out.push_back(item.caption);
        return out;
    }
    std::vector<std::string> paths() const { return w.ListBox1.Items(); }
    void run(const char* command) { w.commandAction(QString::fromLatin1(command))->trigger(); }
    std::string configValue(const char* section, const char* key)
    {
        return platform::ProfileFile(appconfig::ConfigPath()).readString(section, key, "<none>");
    }
};

std::vector<QString> list(std::initializer_list<const char*> items)
{
    std::vector<QString> out;
    for (const char* item : items)
        out.push_back(QString::fromUtf8(item));
    return out;
}

} // namespace

TEST(PlaylistWindow, ControlsSitWhereTheDesignPutsThem)
{
    Window t;
    Tplayl& w = t.w;
    EXPECT_EQ(w.windowTitle(), "Playlist");
    EXPECT_EQ(w.size(), QSize(300, 315));
    EXPECT_EQ(w.minimumSize(), QSize(300, 260));
    EXPECT_EQ(w.realbox()->header()->sectionSize(0), 232);
    w.show();
    w.resize(420, 400);
    EXPECT_EQ(w.realbox()->geometry(), QRect(0, 0, 420, 372));
    EXPECT_EQ(w.realbox()->header()->sectionSize(0), 420 - 68);
    EXPECT_EQ(w.realbox()->header()->sectionSize(1), 42);
    EXPECT_TRUE(w.realbox()->isHeaderHidden());
    EXPECT_EQ(w.realbox()->font().pixelSize(), 11);
    EXPECT_TRUE(w.realbox()->font().bold());

    auto* add = w.findChild<QPushButton*>("pladd1");
    auto* manage = w.findChild<QPushButton*>("plmng1");
    ASSERT_TRUE(add && manage);
    EXPECT_EQ(add->geometry(), QRect(8, 5, 33, 17));
    EXPECT_EQ(w.findChild<QPushButton*>("plrem1")->geometry(), QRect(48, 5, 33, 17));
    EXPECT_EQ(w.findChild<QPushButton*>("plshf1")->geometry(), QRect(88, 5, 49, 17));
    EXPECT_EQ(add->mapTo(&w, QPoint(0, 0)), QPoint(8, 372 + 5));
    EXPECT_EQ(manage->mapTo(&w, QPoint(0, 0)), QPoint(420 - 150 + 84, 372 + 5)) << "Panel2 is right-aligned";
    EXPECT_EQ(manage->size(), QSize(61, 17));
    EXPECT_EQ(add->text(), "Add");
    EXPECT_EQ(manage->text(), "Manage");
}

TEST(PlaylistWindow, PopupMenusOpenOverTheirButtons)
{
    Window t;
    Tplayl& w = t.w;
    w.move(100, 200);
    auto* add = w.findChild<QPushButton*>("pladd1");
    auto* manage = w.findChild<QPushButton*>("plmng1");
    auto* addpop = w.findChild<QMenu*>("addpop");
    auto* rempop = w.findChild<QMenu*>("rempop");
    auto* playpop = w.findChild<QMenu*>("playpop");
    ASSERT_TRUE(addpop && rempop && playpop);
    const int listHeight = w.realbox()->height();
    EXPECT_EQ(w.PopupPosition(add, addpop), QPoint(100 + 8, 200 + listHeight + 5 - 1 * 17));
    EXPECT_EQ(w.PopupPosition(w.findChild<QPushButton*>("plrem1"), rempop),
              QPoint(100 + 48, 200 + listHeight + 5 - 2 * 17));
    EXPECT_EQ(w.PopupPosition(manage, playpop), QPoint(100 + 150 + 84, 200 + listHeight + 5 - 2 * 17 + 1));

    auto captions = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions())
            out << a->text();
        return out;
    };
    EXPECT_EQ(captions(addpop), QStringList({"Add Files..", "Clear And Add.."}));
    EXPECT_EQ(captions(rempop), QStringList({"Delete Selected", "Crop Selected", "Clear Playlist"}));
    EXPECT_EQ(captions(w.findChild<QMenu*>("miscpop")), QStringList{"Shuffle"});
    EXPECT_EQ(captions(playpop), QStringList({"Open Playlist", "Save Playlist", "Clear Playlist"}));
    EXPECT_EQ(w.commandAction("clearplaylistbt1"), rempop->actions().back());
    EXPECT_EQ(w.commandAction("nosuchcommand"), nullptr);
}

TEST(PlaylistWindow, UnknownFilesShowTheirNameAndNoTime)
{
    Window t;
    t.add({"track", "Second One"});
    EXPECT_EQ(t.captions(), list({"1. track", "2. Second One"}));
    EXPECT_EQ(t.w.realboxItems().Item(0).time, "00:00");
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/track.xyz", "/music/Second One.xyz"}));

    // "Apply" in the preferences: captions in the new form, times untouched.
    t.w.RestoreSavedPlaylist(t.data.path()); // nothing saved: empties nothing but the lists
    t.add({"a", "b"});
    t.w.SaveSavedPlaylist(t.data.path());
    WriteFile(t.data.file("loadedt.asv"), "03:25\r\n04:00\r\n");
    t.w.RestoreSavedPlaylist(t.data.path());
    t.w.setNumbering(false);
    t.w.RefreshFirst = 0;
    t.w.RefreshLast = t.w.Count() - 1;
    t.w.RefreshRenumber = true;
    t.w.RefreshTimes = false;
    t.w.procusme();
    EXPECT_EQ(t.captions(), list({"a", "b"}));
    EXPECT_EQ(t.w.realboxItems().Item(0).time, "03:25");
    t.w.setNumbering(true);
    t.w.procusme();
    t.w.renumber();
    EXPECT_EQ(t.captions(), list({"1. a", "2. b"})) << "numbering twice adds no second prefix";
}

TEST(PlaylistWindow, DeleteMovesTheHighlightAndKeepsNumbers)
{
    Window t;
    t.add({"a", "b", "c"});
    t.w.setPlayindex("2");
    t.w.Highlight(2);
    t.run("deletebt1");
    EXPECT_EQ(t.captions(), list({"1. a", "2. b"}));
    EXPECT_EQ(t.w.Highlighted(), 1) << "the new last entry";
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 1);
    EXPECT_EQ(t.w.playindex(), "2");

    t.add({"c"});
    t.w.Highlight(0);
    t.run("deletebt1");
    EXPECT_EQ(t.captions(), list({"2. b", "3. c"})) << "not renumbered";
    EXPECT_EQ(t.w.Highlighted(), 0);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/b.xyz", "/music/c.xyz"}));

    // No highlight: nothing happens.
    t.w.Highlight(-1);
    t.run("deletebt1");
    EXPECT_EQ(t.w.Count(), 2);

    t.w.Highlight(1);
    t.run("deletebt1");
    t.w.Highlight(0);
    t.run("deletebt1");
    EXPECT_EQ(t.w.Count(), 0);
    EXPECT_EQ(t.w.realboxItems().Count(), 0);
    t.run("deletebt1"); // empty: nothing
}

TEST(PlaylistWindow, CropKeepsThePathListsSelection)
{
    Window t;
    t.add({"a", "b", "c"});
    t.w.Highlight(0);
    t.w.ListBox1.setItemIndex(2);
    t.run("cropbt1");
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/c.xyz"}));
    EXPECT_EQ(t.captions(), list({"1. c"}));
    EXPECT_EQ(t.w.Highlighted(), 0);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);

    t.add({"d"});
    t.w.ListBox1.setItemIndex(-1);
    t.w.Highlight(1);
    t.run("cropbt1");
    EXPECT_EQ(t.captions(), list({"1. d"})) << "without a path selection the highlight decides";

    t.w.Highlight(-1);
    t.run("cropbt1");
    EXPECT_EQ(t.w.Count(), 1);
}

TEST(PlaylistWindow, ClearEmptiesBothListsAndResetsPlayindex)
{
    Window t;
    t.add({"a", "b"});
    t.w.setPlayindex("1");
    t.run("clearplaylistbt1");
    EXPECT_EQ(t.w.Count(), 0);
    EXPECT_EQ(t.w.realboxItems().Count(), 0);
    EXPECT_EQ(t.w.playindex(), "0");
}

TEST(PlaylistWindow, ClearAndAddReplacesTheListAndRemembersTheFolder)
{
    Window t;
    t.add({"old"});
    t.w.setPlayindex("4");
    t.dialogs.answers.push_back({{"/new/x.xyz", "/new/y.xyz"}, 1});
    t.run("openbt1");

    ASSERT_EQ(t.dialogs.shown.size(), 1u);
    const TFileDialog& shown = t.dialogs.shown[0];
    EXPECT_EQ(shown.Title, "Select Files To Open");
    EXPECT_EQ(shown.FilterIndex, 1);
    EXPECT_TRUE(shown.MultiSelect);
    EXPECT_TRUE(shown.FileName.isEmpty());
    EXPECT_TRUE(shown.Filter.startsWith("All Playable Media|*.wav;*.mp3;*.VOC;|"));
    EXPECT_TRUE(shown.Filter.endsWith("VOC Audio (*.VOC)|*.VOC|"));
    EXPECT_EQ(shown.InitialDir.toStdString(), appconfig::DefaultDialogFolder());

    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/new/x.xyz", "/new/y.xyz"}));
    EXPECT_EQ(t.captions(), list({"1. x", "2. y"}));
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);
    EXPECT_EQ(t.w.playindex(), "0");
    EXPECT_EQ(t.configValue("Dialogs", "files"), "/new/");

    t.dialogs.answers.push_back({}); // cancelled
    t.run("openbt1");
    EXPECT_EQ(t.dialogs.shown.back().InitialDir, "/new/");
    EXPECT_EQ(t.w.Count(), 2);
}

TEST(PlaylistWindow, AddAppendsFilesOrTheEntriesOfChosenPlaylists)
{
    Window t;
    t.add({"a"});
    t.w.setPlayindex("0");
    t.dialogs.answers.push_back({{"/new/b.xyz", "/new/c.xyz"}, 2});
    t.run("additemsbt1");
    EXPECT_EQ(t.dialogs.shown.back().Title, "Select Files To Add");
    EXPECT_EQ(t.captions(), list({"1. a", "2. b", "3. c"}));
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0) << "playindex is selected";
    EXPECT_EQ(t.w.Highlighted(), 0);

    // Two playlists under the "Playlists" filter: both, first file first.
    WriteM3u(t.data.file("one.m3u"), {"/l/m1.xyz", "/l/m2.xyz"});
    WritePls(t.data.file("two.pls"), {"/l/p1.xyz"});
    WriteFile(t.data.file("skip.txt"), "/l/never.xyz\n");
    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("one.m3u")),
                                  QString::fromStdString(t.data.file("skip.txt")),
                                  QString::fromStdString(t.data.file("two.pls"))},
                                 PlaylistsFilterIndex});
    t.run("additemsbt1");
    EXPECT_EQ(t.captions(), list({"1. a", "2. b", "3. c", "4. m1", "5. m2", "6. p1"}));
    EXPECT_EQ(t.configValue("Dialogs", "files"), t.data.path());
    EXPECT_EQ(QDir::currentPath().toStdString() + "/", t.data.path()) << "relative entries resolve beside the list";
}

TEST(PlaylistWindow, OpenPlaylistAppendsAndACancelReadsNothing)
{
    Window t;
    WriteFile(t.data.file("rel.m3u"), "sub/one.xyz\r\n");
    t.add({"a"});
    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("rel.m3u"))}, 1});
    t.run("loadplbt1");
    EXPECT_EQ(t.dialogs.shown.back().Title, "Open Your Playlist");
    EXPECT_EQ(t.dialogs.shown.back().InitialDir.toStdString(), appconfig::DefaultDialogFolder());
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/a.xyz", t.data.path() + "sub/one.xyz"}));
    EXPECT_EQ(t.captions(), list({"1. a", "2. one"}));

    // The name chosen last time stays in the dialog, but a cancel must not read it again.
    t.dialogs.answers.push_back({});
    t.run("loadplbt1");
    EXPECT_EQ(t.w.Count(), 2);
}

TEST(PlaylistWindow, SaveAddsTheExtensionOfTheChosenFormat)
{
    Window t;
    t.add({"a", "b"});
    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("mine"))}, 1});
    t.run("saveplbt1");
    EXPECT_EQ(t.dialogs.shown.back().kind, TFileDialog::Save);
    EXPECT_EQ(t.dialogs.shown.back().Filter, "PLS Playlist (*.pls)|*.pls|M3U Playlist (*.m3u)|*.m3u");
    EXPECT_EQ(ReadPls(t.data.file("mine.pls")), t.paths());

    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("other"))}, 2});
    t.run("saveplbt1");
    EXPECT_EQ(ReadM3u(t.data.file("other.m3u")), t.paths());

    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("keep.txt"))}, 2});
    t.run("saveplbt1");
    EXPECT_EQ(testsupport::ReadFile(t.data.file("keep.txt")).substr(0, 9), "#EXTM3U\r\n");

    // A file that cannot be written ends in the general error box.
    t.dialogs.answers.push_back({{QString::fromStdString(t.data.file("none/x.m3u"))}, 2});
    t.run("saveplbt1");
    ASSERT_EQ(t.boxes.count(), 1u);
    EXPECT_EQ(t.boxes.boxes()[0].caption, "Orvella");
    EXPECT_EQ(t.boxes.boxes()[0].icon(), MB_ICONERROR);
    EXPECT_NE(t.boxes.boxes()[0].text.find("none/x.m3u"), std::string::npos);
}

TEST(PlaylistWindow, ShuffleIsTheSameForTheSameLength)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    t.add({"a", "b", "c", "d", "e"});
    const std::vector<std::string> before = t.paths();
    t.w.ListBox1.setItemIndex(3);
    t.w.setPlayindex("3");
    t.run("shuffleact");
    const std::vector<std::string> once = t.paths();
    std::vector<std::string> expected;
    for (int from : ShuffleOrder(5))
        expected.push_back(before[size_t(from)]);
    EXPECT_EQ(once, expected);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), -1);
    EXPECT_EQ(t.w.playindex(), "0");
    EXPECT_EQ(t.captions()[0], "1. " + BaseNameOf(once[0]));
    EXPECT_EQ(play.count(), 0);

    t.run("clearplaylistbt1");
    t.add({"a", "b", "c", "d", "e"});
    t.w.setShuffleAndGo(true);
    t.run("shuffleact");
    EXPECT_EQ(t.paths(), once);
    EXPECT_EQ(play.count(), 1) << "Shuffle And Go";
}

TEST(PlaylistWindow, EnterPlaysAndDeleteRemovesTheHighlightedEntry)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    t.add({"a", "b", "c"});
    t.w.show();
    t.w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.w));
    t.w.realbox()->setFocus();
    t.w.Highlight(1);
    QTest::keyClick(t.w.realbox(), Qt::Key_Return);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 1);
    QTest::keyClick(t.w.realbox(), Qt::Key_Delete);
    EXPECT_EQ(t.captions(), list({"1. a", "3. c"}));
}

TEST(PlaylistWindow, DoubleClickSelectsThePathAndAsksToPlay)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playSelectedRequested);
    t.add({"a", "b", "c"});
    t.w.show();
    QWidget* viewport = t.w.realbox()->viewport();
    const QPoint row2 = t.w.realbox()->visualRect(t.w.realboxItems().index(2, 0)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, row2);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, row2);
    EXPECT_EQ(play.count(), 1);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 2);
}

TEST(PlaylistWindow, DroppedFilesAndPlaylistsAreAppendedInOrder)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    t.add({"first"});
    WriteM3u(t.data.file("in.m3u"), {"/l/m1.xyz", "/l/m2.xyz"});
    t.w.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/drop/a.xyz"), QUrl::fromLocalFile(QString::fromStdString(t.data.file("in.m3u"))),
                  QUrl::fromLocalFile("/drop/b.xyz")});
    QWidget* viewport = t.w.realbox()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(enter.dropAction(), Qt::LinkAction);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(t.captions(), list({"1. first", "2. a", "3. m1", "4. m2", "5. b"}));
    EXPECT_TRUE(t.w.openplay1.FileName.isEmpty());
    EXPECT_EQ(play.count(), 0) << "dropping never starts playback";

    QMimeData text;
    text.setText("not files");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // An unreadable playlist in a drop is reported; the name does not linger.
    QMimeData bad;
    bad.setUrls({QUrl::fromLocalFile(QString::fromStdString(t.data.file("gone.m3u")))});
    QDragEnterEvent badEnter(QPoint(5, 5), Qt::LinkAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &badEnter);
    QDropEvent badDrop(QPointF(5, 5), Qt::LinkAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &badDrop);
    EXPECT_TRUE(badDrop.isAccepted());
    EXPECT_EQ(t.boxes.count(), 1u);
    EXPECT_TRUE(t.w.openplay1.FileName.isEmpty());
}

TEST(PlaylistWindow, SavedPlaylistComesBackWithoutReadingTheFiles)
{
    Window t;
    t.add({"a", "b"});
    t.w.setNumbering(false);
    t.w.renumber();
    t.w.setNumbering(true);
    t.add({"c"}); // numbering comes back on with the refresh of the new entry
    const std::vector<QString> shown = t.captions();
    t.w.SaveSavedPlaylist(SavedPlaylistFolder());

    Tplayl other;
    other.RestoreSavedPlaylist(SavedPlaylistFolder());
    std::vector<QString> restored;
    for (const RealboxItem& item : other.realboxItems().Items())
        restored.push_back(item.caption);
    EXPECT_EQ(restored, shown);
    EXPECT_EQ(other.ListBox1.Items(), t.paths());
    EXPECT_EQ(other.realboxItems().Item(2).time, "00:00");
    EXPECT_EQ(other.ListBox1.ItemIndex(), -1);
    EXPECT_EQ(other.Highlighted(), -1);
}

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
#include <QFont>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

// Failures print texts, not bytes.
void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

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
        // As the program keeps them: in its settings file.
        const auto config = [] { return platform::ProfileFile(appconfig::ConfigPath()); };
        w.setDialogFolders({[config] { return appconfig::ReadFilesFolder(config()); },
                            [config] { return appconfig::ReadPlaylistFolder(config()); },
                            [config](const std::string& file) { appconfig::WriteFilesFolder(config(), file); }});
    }
    // Entries that no reader knows: each shows its file name and 00:00.
    void add(const QStringList& names)
    {
        QStringList files;
        for (const QString& name : names)
            files << "/music/" + name + ".xyz";
        w.DropFileTarget1Drop(files);
    }
    QStringList captions() const
    {
        QStringList out;
        for (const RealboxItem& item : w.realboxItems().Items())
            out << item.caption;
        return out;
    }
    QString file(const char* name) const { return QString::fromStdString(data.file(name)); }
    std::vector<std::string> paths() const { return w.ListBox1.Items(); }
    void run(const char* command) { w.commandAction(QString::fromLatin1(command))->trigger(); }
    std::string configValue(const char* section, const char* key)
    {
        return platform::ProfileFile(appconfig::ConfigPath()).readString(section, key, "<none>");
    }
};

} // namespace

TEST(PlaylistWindow, ControlsAndMenusSitWhereTheDesignPutsThem)
{
    Window t;
    Tplayl& w = t.w;
    EXPECT_EQ(w.minimumSize(), QSize(300, 260));
    EXPECT_EQ(w.realbox()->header()->sectionSize(0), 232);
    w.show();
    w.resize(420, 400);
    w.move(100, 200);
    EXPECT_EQ(w.realbox()->geometry(), QRect(0, 0, 420, 372));
    EXPECT_EQ(w.realbox()->header()->sectionSize(0), 420 - 68);
    EXPECT_EQ(w.realbox()->header()->sectionSize(1), 42);
    auto* add = w.findChild<QPushButton*>("pladd1");
    auto* manage = w.findChild<QPushButton*>("plmng1");
    ASSERT_TRUE(add && manage);
    EXPECT_EQ(add->mapTo(&w, QPoint(0, 0)), QPoint(8, 372 + 5));
    EXPECT_EQ(manage->mapTo(&w, QPoint(0, 0)), QPoint(420 - 150 + 84, 372 + 5)) << "Panel2 is right-aligned";
    EXPECT_EQ(manage->size(), QSize(61, 17));

    // Menus open upwards so that their last item lies over the button.
    auto* addpop = w.findChild<QMenu*>("addpop");
    auto* playpop = w.findChild<QMenu*>("playpop");
    ASSERT_TRUE(addpop && playpop);
    EXPECT_EQ(w.PopupPosition(add, addpop), QPoint(100 + 8, 200 + 372 + 5 - 1 * 17));
    EXPECT_EQ(w.PopupPosition(manage, playpop), QPoint(100 + 270 + 84, 200 + 372 + 5 - 2 * 17 + 1));
    QStringList captions;
    for (QAction* a : playpop->actions())
        captions << a->text();
    EXPECT_EQ(captions, QStringList({"Open Playlist", "Save Playlist", "Clear Playlist"}));
    EXPECT_EQ(w.commandAction("clearplaylistbt1"), playpop->actions().back());
}

TEST(PlaylistWindow, TitleRefreshAndNumbering)
{
    Window t;
    t.add({"track", "Second One"});
    EXPECT_EQ(t.captions(), QStringList({"1. track", "2. Second One"}));
    EXPECT_EQ(t.w.realboxItems().Item(0).time, "00:00");

    // "Apply" in the preferences: captions in the new form, times untouched.
    WriteFile(t.data.file("dummy.asv"), "/m/a.xyz\r\n/m/b.xyz\r\n");
    WriteFile(t.data.file("loadedt.asv"), "03:25\r\n04:00\r\n");
    t.w.RestoreSavedPlaylist(t.data.path());
    t.w.setNumbering(false);
    t.w.RefreshFirst = 0;
    t.w.RefreshLast = 1;
    t.w.RefreshRenumber = true;
    t.w.RefreshTimes = false;
    t.w.procusme();
    EXPECT_EQ(t.captions(), QStringList({"a", "b"}));
    EXPECT_EQ(t.w.realboxItems().Item(0).time, "03:25");
    t.w.setNumbering(true);
    t.w.procusme();
    t.w.renumber();
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. b"})) << "numbering twice adds no second prefix";
}
TEST(PlaylistWindow, TitleRefreshReadsTagsAndDurationsOfRealFiles)
{
    Window t;
    QStringList files;
    for (const char* name : {"playlist/hello_world.mp3", "fileinfo/vorbis_comments.ogg", "fileinfo/wmav2_tagged.wma",
                             "fileinfo/pcm_s16_stereo.wav", "fileinfo/lame_cbr16_mono_mpeg25.mp3",
                             "fileinfo/monkey_3800_id3v1.ape", "fileinfo/twinvq_stereo.vqf"})
        files << QString::fromStdString(testsupport::TestData(name));
    t.w.DropFileTarget1Drop(files);
    EXPECT_EQ(t.captions(),
              QStringList({"1. The Band - Hello World", QString::fromUtf8("2. Ogg Artist - Café € Title"),
                           "3. Wma Artist - Wma Title", "4. Pcm_s16_stereo.wav", "5. lame_cbr16_mono_mpeg25",
                           "6. Monkey Artist - Monkey Title", "7. Vqf Author - Vqf Title"}));
    QStringList times;
    for (const RealboxItem& item : t.w.realboxItems().Items())
        times << item.time;
    // An MPEG stream without tags is not recognised but keeps its duration.
    EXPECT_EQ(times, QStringList({"00:03", "00:02", "00:02", "00:00", "00:01", "00:00", "00:01"}));

    t.w.setTitleFormat(4);
    t.w.RefreshFirst = 0;
    t.w.RefreshLast = 0;
    t.w.RefreshTimes = false;
    t.w.procusme();
    EXPECT_EQ(t.captions()[0], "1. \"Hello World\" By The Band");
}

TEST(PlaylistWindow, DeleteMovesTheHighlightAndKeepsNumbers)
{
    Window t;
    t.add({"a", "b", "c"});
    t.w.setPlayindex("2");
    t.w.Highlight(2);
    t.run("deletebt1");
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. b"}));
    EXPECT_EQ(t.w.Highlighted(), 1) << "the new last entry";
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 1);
    EXPECT_EQ(t.w.playindex(), "2");

    t.add({"c"});
    t.w.Highlight(0);
    t.run("deletebt1");
    EXPECT_EQ(t.captions(), QStringList({"2. b", "3. c"})) << "not renumbered";
    EXPECT_EQ(t.w.Highlighted(), 0);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/b.xyz", "/music/c.xyz"}));

    t.w.Highlight(-1);
    t.run("deletebt1");
    EXPECT_EQ(t.w.Count(), 2) << "nothing highlighted, nothing deleted";

    t.w.Highlight(1);
    t.run("deletebt1");
    t.w.Highlight(0);
    t.run("deletebt1");
    EXPECT_EQ(t.w.Count(), 0);
    EXPECT_EQ(t.w.realboxItems().Count(), 0);

    t.add({"x", "y"});
    t.run("clearplaylistbt1");
    EXPECT_EQ(t.w.Count() + t.w.realboxItems().Count(), 0);
    EXPECT_EQ(t.w.playindex(), "0");
}

TEST(PlaylistWindow, CropKeepsThePathListsSelection)
{
    Window t;
    t.add({"a", "b", "c"});
    t.w.Highlight(0);
    t.w.ListBox1.setItemIndex(2);
    t.run("cropbt1");
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/c.xyz"}));
    EXPECT_EQ(t.captions(), QStringList({"1. c"}));
    EXPECT_EQ(t.w.Highlighted(), 0);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);

    t.add({"d"});
    t.w.ListBox1.setItemIndex(-1);
    t.w.Highlight(1);
    t.run("cropbt1");
    EXPECT_EQ(t.captions(), QStringList({"1. d"})) << "without a path selection the highlight decides";
}

TEST(PlaylistWindow, OpenAndAddFilesOrTheEntriesOfChosenPlaylists)
{
    Window t;
    t.add({"old"});
    t.w.setPlayindex("4");
    t.dialogs.answers.push_back({{"/new/a.xyz", "/new/b.xyz"}, 1});
    t.run("openbt1");
    const TFileDialog& shown = t.dialogs.shown.at(0);
    EXPECT_EQ(shown.Title, "Select Files To Open");
    EXPECT_TRUE(shown.Filter.startsWith("All Playable Media|*.wav;*.mp3;*.VOC;|"));
    EXPECT_EQ(shown.InitialDir.toStdString(), appconfig::DefaultDialogFolder());
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. b"}));
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);
    EXPECT_EQ(t.w.playindex(), "0");
    EXPECT_EQ(t.configValue("Dialogs", "files"), "/new/");

    t.dialogs.answers.push_back({}); // cancelled
    t.run("additemsbt1");
    EXPECT_EQ(t.dialogs.shown.back().Title, "Select Files To Add");
    EXPECT_EQ(t.dialogs.shown.back().InitialDir, "/new/");
    t.dialogs.answers.push_back({{"/new/c.xyz"}, 2});
    t.run("additemsbt1");
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. b", "3. c"}));
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0) << "playindex is selected";

    // Two playlists under the "Playlists" filter: both, first file first.
    WriteM3u(t.data.file("one.m3u"), {"/l/m1.xyz", "/l/m2.xyz"});
    WritePls(t.data.file("two.pls"), {"/l/p1.xyz"});
    t.dialogs.answers.push_back({{t.file("one.m3u"), t.file("two.pls")}, PlaylistsFilterIndex});
    t.run("additemsbt1");
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. b", "3. c", "4. m1", "5. m2", "6. p1"}));
    EXPECT_EQ(t.configValue("Dialogs", "files"), t.data.path());
    EXPECT_EQ(QDir::currentPath().toStdString() + "/", t.data.path()) << "relative entries resolve beside the list";
}
TEST(PlaylistWindow, OpenPlaylistAppendsAndACancelReadsNothing)
{
    Window t;
    WriteFile(t.data.file("rel.m3u"), "sub/one.xyz\r\n");
    t.add({"a"});
    t.dialogs.answers.push_back({{t.file("rel.m3u")}, 1});
    t.run("loadplbt1");
    EXPECT_EQ(t.dialogs.shown.back().Title, "Open Your Playlist");
    EXPECT_EQ(t.paths(), (std::vector<std::string>{"/music/a.xyz", t.data.path() + "sub/one.xyz"}));
    EXPECT_EQ(t.captions(), QStringList({"1. a", "2. one"}));

    // The name chosen last time stays in the dialog, but a cancel must not read it again.
    t.dialogs.answers.push_back({});
    t.run("loadplbt1");
    EXPECT_EQ(t.w.Count(), 2);
}

TEST(PlaylistWindow, SaveAddsTheExtensionOfTheChosenFormat)
{
    Window t;
    t.add({"a", "b"});
    t.dialogs.answers.push_back({{t.file("mine")}, 1});
    t.run("saveplbt1");
    EXPECT_EQ(ReadPls(t.data.file("mine.pls")), t.paths());

    t.dialogs.answers.push_back({{t.file("other")}, 2});
    t.run("saveplbt1");
    EXPECT_EQ(ReadM3u(t.data.file("other.m3u")), t.paths());

    // A dot in the name is no extension; a playlist extension of either kind is kept.
    t.dialogs.answers.push_back({{t.file("Mr. Brown favourites")}, 1});
    t.run("saveplbt1");
    EXPECT_EQ(ReadPls(t.data.file("Mr. Brown favourites.pls")), t.paths());
    t.dialogs.answers.push_back({{t.file("mix.m3u8")}, 2});
    t.run("saveplbt1");
    EXPECT_EQ(ReadM3u(t.data.file("mix.m3u8")), t.paths());
    EXPECT_FALSE(testsupport::FileExists(t.data.file("mix.m3u8.m3u")));

    // A file that cannot be written ends in the general error box.
    t.dialogs.answers.push_back({{t.file("none/x.m3u")}, 2});
    t.run("saveplbt1");
    ASSERT_EQ(t.boxes.count(), 1u);
    EXPECT_EQ(t.boxes.boxes()[0].caption, "Orvella");
    EXPECT_NE(t.boxes.boxes()[0].text.find("none/x.m3u"), std::string::npos);
}

TEST(PlaylistWindow, ShuffleFollowsTheRunsSeed)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    t.add({"a", "b", "c", "d", "e"});
    const std::vector<std::string> before = t.paths();
    t.w.ListBox1.setItemIndex(3);
    t.w.setPlayindex("3");
    t.w.setShuffleSeed(77);
    t.run("shuffleact");
    const std::vector<std::string> once = t.paths();
    std::vector<std::string> expected;
    ShuffleGenerator generator(77);
    for (int from : ShuffleOrder(5, generator))
        expected.push_back(before[size_t(from)]);
    EXPECT_EQ(once, expected);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), -1);
    EXPECT_EQ(t.w.playindex(), "0");
    EXPECT_EQ(t.captions()[0], "1. " + BaseNameOf(once[0]));
    EXPECT_EQ(play.count(), 0);

    // The generator goes on where it was: shuffles of the same list differ
    // (eight entries, so that two orders agree by chance once in thousands).
    const QStringList eight{"a", "b", "c", "d", "e", "f", "g", "h"};
    t.run("clearplaylistbt1");
    t.add(eight);
    t.run("shuffleact");
    const std::vector<std::string> first = t.paths();
    t.run("clearplaylistbt1");
    t.add(eight);
    t.run("shuffleact");
    EXPECT_NE(t.paths(), first);

    t.run("clearplaylistbt1");
    t.add({"a", "b", "c", "d", "e"});
    t.w.setShuffleSeed(77);
    t.w.setShuffleAndGo(true);
    t.run("shuffleact");
    EXPECT_EQ(t.paths(), once);
    EXPECT_EQ(play.count(), 1) << "Shuffle And Go";
}

TEST(PlaylistWindow, EnterAndDoubleClickPlayAndDeleteRemoves)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    QSignalSpy playSelected(&t.w, &Tplayl::playSelectedRequested);
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
    EXPECT_EQ(t.captions(), QStringList({"1. a", "3. c"}));

    QWidget* viewport = t.w.realbox()->viewport();
    const QPoint row = t.w.realbox()->visualRect(t.w.realboxItems().index(0, 0)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, row);
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, row);
    EXPECT_EQ(playSelected.count(), 1);
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), 0);
}
TEST(PlaylistWindow, DroppedFilesAndPlaylistsAreAppendedInOrder)
{
    Window t;
    QSignalSpy play(&t.w, &Tplayl::playRequested);
    t.add({"first"});
    WriteM3u(t.data.file("in.m3u"), {"/l/m1.xyz", "/l/m2.xyz"});
    t.w.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/drop/a.xyz"), QUrl::fromLocalFile(t.file("in.m3u")),
                  QUrl::fromLocalFile("/drop/b.xyz")});
    QWidget* viewport = t.w.realbox()->viewport();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    EXPECT_EQ(enter.dropAction(), Qt::LinkAction);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(t.captions(), QStringList({"1. first", "2. a", "3. m1", "4. m2", "5. b"}));
    EXPECT_TRUE(t.w.openplay1.FileName.isEmpty());
    EXPECT_EQ(play.count(), 0) << "dropping never starts playback";

    // An unreadable playlist in a drop is reported; the name does not linger.
    QMimeData bad;
    bad.setUrls({QUrl::fromLocalFile(t.file("gone.m3u"))});
    QDragEnterEvent badEnter(QPoint(5, 5), Qt::LinkAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &badEnter);
    QDropEvent badDrop(QPointF(5, 5), Qt::LinkAction, &bad, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &badDrop);
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
    t.add({"c"}); // the refresh of the new entry numbers every caption
    const QStringList shown = t.captions();
    const std::vector<std::string> paths = t.paths();
    t.w.SaveSavedPlaylist(SavedPlaylistFolder());
    t.run("clearplaylistbt1");
    t.w.RestoreSavedPlaylist(SavedPlaylistFolder());
    EXPECT_EQ(t.captions(), shown);
    EXPECT_EQ(t.paths(), paths);
    EXPECT_EQ(t.w.realboxItems().Item(2).time, "00:00");
    EXPECT_EQ(t.w.ListBox1.ItemIndex(), -1);
    EXPECT_EQ(t.w.Highlighted(), -1);
}

TEST(PlaylistWindow, NumberedWavCaptionsKeepTheirOwnDigits)
{
    Window t;
    QStringList files;
    for (const char* name : {"track01.wav", "01.wav", "tone.wav"}) {
        const std::string path = t.data.file(name);
        std::filesystem::copy_file(testsupport::TestData("fileinfo/pcm_s16_stereo.wav"), path);
        files << QString::fromStdString(path);
    }
    t.w.DropFileTarget1Drop(files);
    EXPECT_EQ(t.captions(), QStringList({"1. Track01.wav", "2. 01.wav", "3. Tone.wav"}));

    // Numbering off and on again, twice: nothing doubled, nothing lost.
    for (int round = 0; round < 2; ++round) {
        t.w.setNumbering(false);
        t.w.renumber();
        EXPECT_EQ(t.captions(), QStringList({"Track01.wav", "01.wav", "Tone.wav"}));
        t.w.setNumbering(true);
        t.w.renumber();
        EXPECT_EQ(t.captions(), QStringList({"1. Track01.wav", "2. 01.wav", "3. Tone.wav"}));
    }
}

TEST(PlaylistWindow, ASavedPlaylistWithTheOldNumberingComesBackAsItWas)
{
    Window t;
    // Written by an older version, whose numbering had cut "Vol 2." to a number.
    WriteFile(t.data.file("dummy.asv"), "/m/a.xyz\r\n/m/b.xyz\r\n/m/c.xyz\r\n");
    WriteFile(t.data.file("loaded.asv"), "1. The Band - Intro\r\n2. Outro\r\n3. Track01\r\n");
    WriteFile(t.data.file("loadedt.asv"), "03:25\r\n04:00\r\n01:00\r\n");
    t.w.RestoreSavedPlaylist(t.data.path());
    const QStringList restored{"1. The Band - Intro", "2. Outro", "3. Track01"};
    EXPECT_EQ(t.captions(), restored);
    t.w.renumber();
    EXPECT_EQ(t.captions(), restored) << "the old prefixes are taken for what they are";
    t.w.setNumbering(false);
    t.w.renumber();
    EXPECT_EQ(t.captions(), QStringList({"The Band - Intro", "Outro", "Track01"}));
}

TEST(PlaylistWindow, ThePlayingEntryIsMarkedApartFromTheHighlight)
{
    Window t;
    t.add({"a", "b", "c"});
    const RealboxModel& rows = t.w.realboxItems();
    auto marked = [&](int row) {
        const QVariant font = rows.data(rows.index(row, 0), Qt::FontRole);
        return font.isValid() && font.value<QFont>().bold() && font.value<QFont>().underline() &&
               rows.data(rows.index(row, 1), Qt::FontRole).isValid() &&
               rows.data(rows.index(row, 0), Qt::ForegroundRole).isValid();
    };
    auto markedRows = [&] {
        QList<int> out;
        for (int row = 0; row < rows.Count(); ++row)
            if (marked(row))
                out << row;
        return out;
    };
    EXPECT_EQ(markedRows(), QList<int>{}) << "nothing has played yet";

    QSignalSpy changes(&rows, &QAbstractItemModel::dataChanged);
    t.w.Highlight(2);
    t.w.setPlayindex("1");
    EXPECT_EQ(markedRows(), QList<int>{1}) << "the playing entry, not the highlighted one";
    EXPECT_GE(changes.count(), 1) << "the view is told";
    t.w.setPlayindex("2");
    EXPECT_EQ(markedRows(), QList<int>{2}) << "marked while highlighted too";

    // Rebuilding the list forgets which entry played.
    t.run("shuffleact");
    EXPECT_EQ(t.w.playindex(), "0");
    EXPECT_EQ(markedRows(), QList<int>{});
    t.w.setPlayindex("0");
    t.run("clearplaylistbt1");
    t.add({"d"});
    EXPECT_EQ(markedRows(), QList<int>{});
}

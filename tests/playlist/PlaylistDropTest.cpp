// Files dragged onto the playlist list: audio files and a playlist file are
// added in the order they were dropped; a text drag is refused.

#include "platform/text.h"
#include "playlist/PlaylistWindow.h"

#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <sys/stat.h>

using namespace playlist;
using testsupport::TempDir;
using testsupport::TestData;

namespace {

struct DroppingOnThePlaylist {
    TempDir data;
    TempDir music;
    testsupport::MessageBoxRecorder boxes;
    DroppingOnThePlaylist() { setenv("ORVELLA_DATA_DIR", data.path().c_str(), 1); }
    ~DroppingOnThePlaylist() { unsetenv("ORVELLA_DATA_DIR"); }

    std::string copy(const std::string& fixture, const std::string& name)
    {
        std::filesystem::copy_file(TestData(fixture), music.file(name));
        return music.file(name);
    }
};

// Sends the drag a file manager sends: enter, a move, the drop; returns the drop's action.
Qt::DropAction Drag(QWidget* target, const QMimeData& data, Qt::DropActions allowed)
{
    QDragEnterEvent enter(QPoint(10, 10), allowed, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(QPoint(12, 12), allowed, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(12, 12), allowed, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QMimeData* FileDrag(const std::vector<std::string>& files)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& file : files)
        urls << platform::UrlOfLocalFile(platform::PathString(file));
    data->setUrls(urls);
    return data;
}

// Line k of the paths and row k of the visible list name the same file.
void ExpectInStep(const Tplayl& w)
{
    ASSERT_EQ(size_t(w.Count()), w.realboxItems().Items().size());
    for (int k = 0; k < w.Count(); ++k) {
        const QString name = platform::DisplayString(w.ListBox1[k]).section('/', -1).section('.', 0, 0);
        EXPECT_TRUE(w.realboxItems().Item(k).caption.contains(name, Qt::CaseInsensitive))
            << k << ": " << w.ListBox1[k] << " shown as " << w.realboxItems().Item(k).caption.toStdString();
    }
}

} // namespace

TEST(PlaylistDrop, ThreeAudioFilesAndAnM3uAreAddedInOrder)
{
    DroppingOnThePlaylist t;
    const std::string mp3 = t.copy("fileinfo/lame_cbr128.mp3", "one.mp3");
    const std::string ogg = t.copy("fileinfo/vorbis_comments.ogg", "two.ogg");
    const std::string wav = t.copy("fileinfo/pcm_s16_stereo.wav", "three.wav");
    const std::string listed = t.copy("fileinfo/pcm_u8_mono.wav", "listed.wav");
    testsupport::WriteFile(t.music.file("more.m3u"), "#EXTM3U\n" + listed + "\n");

    Tplayl w;
    w.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(mp3)), QUrl::fromLocalFile(QString::fromStdString(ogg)),
                  QUrl::fromLocalFile(QString::fromStdString(t.music.file("more.m3u"))),
                  QUrl::fromLocalFile(QString::fromStdString(wav))});
    EXPECT_EQ(Drag(w.realbox()->viewport(), data, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction), Qt::LinkAction);

    EXPECT_EQ(w.ListBox1.Items(), (std::vector<std::string>{mp3, ogg, listed, wav}));
    ASSERT_EQ(w.realboxItems().Items().size(), 4u);
    EXPECT_NE(w.realboxItems().Items()[0].time, "00:00") << "the dropped files were read";
    EXPECT_TRUE(w.realboxItems().Items()[3].caption.startsWith("4. "));
    EXPECT_EQ(t.boxes.count(), 0u);
}

TEST(PlaylistDrop, ATextDragIsRefused)
{
    DroppingOnThePlaylist t;
    Tplayl w;
    w.show();
    QMimeData text;
    text.setText("/music/not-a-file-drag.mp3");
    EXPECT_EQ(Drag(w.realbox()->viewport(), text, Qt::CopyAction | Qt::LinkAction), Qt::IgnoreAction);

    EXPECT_EQ(w.Count(), 0);
}

TEST(PlaylistDrop, CopyIsTakenAsWellAsLinkButMoveNever)
{
    DroppingOnThePlaylist t;
    const std::string wav = t.copy("fileinfo/pcm_s16_stereo.wav", "tone.wav");
    Tplayl w;
    w.show();
    std::unique_ptr<QMimeData> data(FileDrag({wav}));
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::CopyAction), Qt::CopyAction);
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::CopyAction | Qt::MoveAction), Qt::CopyAction);
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::LinkAction), Qt::LinkAction);
    EXPECT_EQ(w.Count(), 3);
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::MoveAction), Qt::IgnoreAction);
    EXPECT_EQ(w.Count(), 3) << "a move would have the file manager delete the files";
    ExpectInStep(w);
}

TEST(PlaylistDrop, AListThatCannotBeReadCostsOnlyItsOwnEntries)
{
    DroppingOnThePlaylist t;
    const std::string a = t.copy("fileinfo/pcm_s16_stereo.wav", "alpha.wav");
    const std::string b = t.copy("fileinfo/pcm_u8_mono.wav", "bravo.wav");
    testsupport::WriteFile(t.music.file("good.m3u8"), "alpha.wav\n");
    Tplayl w;
    w.show();
    std::unique_ptr<QMimeData> data(
        FileDrag({a, t.music.file("missing.m3u"), b, t.music.file("gone.pls"), t.music.file("good.m3u8")}));
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::CopyAction), Qt::CopyAction);

    EXPECT_EQ(w.ListBox1.Items(), (std::vector<std::string>{a, b, a}));
    ExpectInStep(w);
    EXPECT_NE(w.realboxItems().Item(1).time, "00:00") << "what was added is refreshed";
    ASSERT_EQ(t.boxes.count(), 2u) << "one message per list";
    EXPECT_NE(t.boxes.boxes()[0].text.find("missing.m3u"), std::string::npos);
    EXPECT_NE(t.boxes.boxes()[1].text.find("gone.pls"), std::string::npos);

    // The same through the command channel's and the command line's road.
    w.addDroppedFiles({QString::fromStdString(t.music.file("missing.m3u")), QString::fromStdString(b)});
    EXPECT_EQ(w.Count(), 4);
    ExpectInStep(w);
}

TEST(PlaylistDrop, AFolderGivesTheFilesItPlaysInTheOrderOfTheirNames)
{
    DroppingOnThePlaylist t;
    const std::string album = t.music.file("album");
    for (const char* folder : {"album/disc 1", "album/Disc 2", "album/.hidden", "empty"})
        std::filesystem::create_directories(t.music.file(folder));
    for (const char* name : {"album/10 ten.mp3", "album/2 two.ogg", "album/Disc 2/01 b.wav", "album/disc 1/01 a.wav",
                             "album/UPPER.WAV", "album/cover.jpg", "album/notes.txt", "album/.dot.mp3",
                             "album/.hidden/h.mp3", "album/list.m3u", "album/x.flac", "album/caf\xE9.mp3"})
        testsupport::WriteFile(t.music.file(name), "x");
    std::filesystem::create_directory_symlink(album, t.music.file("album/again")); // not entered
    std::filesystem::create_symlink("/dev/zero", t.music.file("album/zero.wav"));  // not a file to play
    ::mkfifo(t.music.file("album/pipe.mp3").c_str(), 0600);
    // Names from an old library need not be UTF-8: their bytes are kept.
    const std::string loose = t.copy("fileinfo/pcm_u8_mono.wav", "loose \xE0.wav");

    Tplayl w;
    w.setFileExtensions([] { return std::pair(QString("*.wav;*.mp3;*.ogg;"), QString("*.FLAC;")); });
    w.show();
    std::unique_ptr<QMimeData> data(FileDrag({album, loose}));
    EXPECT_EQ(Drag(w.realbox()->viewport(), *data, Qt::CopyAction), Qt::CopyAction);

    EXPECT_EQ(w.ListBox1.Items(),
              (std::vector<std::string>{album + "/2 two.ogg", album + "/10 ten.mp3", album + "/caf\xE9.mp3",
                                        album + "/disc 1/01 a.wav", album + "/Disc 2/01 b.wav", album + "/UPPER.WAV",
                                        album + "/x.flac", loose}));
    ExpectInStep(w);
    // The command line's road: a folder with nothing to play adds nothing, a
    // missing file is an entry as ever.
    w.addDroppedFiles({QString::fromStdString(t.music.file("empty")), QString::fromStdString(album + "/gone.mp3")});
    EXPECT_EQ(w.Count(), 9);
    EXPECT_EQ(w.ListBox1[8], album + "/gone.mp3");
}

#include "playlist/PlaylistFiles.h"
#include "playlist/SavedPlaylist.h"

#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace playlist;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// Runs with the current directory in a folder, restoring it afterwards.
struct InFolder {
    QString previous = QDir::currentPath();
    explicit InFolder(const std::string& folder) { QDir::setCurrent(QString::fromStdString(folder)); }
    ~InFolder() { QDir::setCurrent(previous); }
};

const std::vector<std::string> Three{"/music/one.mp3", "/music/two words.ogg", "/music/caf\xE9.wav"};

} // namespace

TEST(PlaylistFiles, M3uRoundTripWithCrLf)
{
    TempDir dir;
    WriteM3u(dir.file("list.m3u"), Three);
    EXPECT_EQ(ReadFile(dir.file("list.m3u")),
              "#EXTM3U\r\n/music/one.mp3\r\n/music/two words.ogg\r\n/music/caf\xE9.wav\r\n");
    EXPECT_EQ(ReadM3u(dir.file("list.m3u")), Three);
}

TEST(PlaylistFiles, M3uSkipsCommentsAndBlanksAndKeepsAnUnterminatedLastLine)
{
    TempDir dir;
    InFolder here(dir.path());
    WriteFile(dir.file("x.M3U"), "\xEF\xBB\xBF#EXTM3U\n#EXTINF:12,Someone - Something\n/a/b.mp3\r\n   \n"
                                 "\t/a/c.mp3  \rsub/../rel.ogg\r\n./d.mp3");
    EXPECT_EQ(ReadPlaylistFile(dir.file("x.M3U")),
              (std::vector<std::string>{"/a/b.mp3", "/a/c.mp3", dir.path() + "rel.ogg", dir.path() + "d.mp3"}));
    EXPECT_THROW(ReadM3u(dir.file("missing.m3u")), std::runtime_error);
    EXPECT_THROW(ReadM3u(dir.path()), std::runtime_error) << "a folder is no playlist";
    EXPECT_TRUE(ReadPlaylistFile(dir.file("other.txt")).empty());
}

TEST(PlaylistFiles, PlsRoundTripKeyByKey)
{
    TempDir dir;
    WritePls(dir.file("a.pls"), Three);
    EXPECT_EQ(ReadFile(dir.file("a.pls")),
              "[playlist]\nFile1=/music/one.mp3\nFile2=/music/two words.ogg\nFile3=/music/caf\xE9.wav\n"
              "NumberOfEntries=3\n");
    EXPECT_EQ(ReadPls(dir.file("a.pls")), Three);

    // Over a longer playlist the surplus keys stay but are not read.
    WritePls(dir.file("a.pls"), {"/1", "/2", "/3", "/4", "/5"});
    WritePls(dir.file("a.pls"), Three);
    const std::string text = ReadFile(dir.file("a.pls"));
    EXPECT_NE(text.find("File4=/4"), std::string::npos);
    EXPECT_NE(text.find("File5=/5"), std::string::npos);
    EXPECT_NE(text.find("NumberOfEntries=3"), std::string::npos);
    EXPECT_EQ(ReadPls(dir.file("a.pls")), Three);
}

TEST(PlsFile, ReadsRelativeEntriesAgainstTheCurrentDirectory)
{
    TempDir dir;
    InFolder here(dir.path());
    WriteFile(dir.file("r.PLS"), "[Playlist]\r\nfile1= song.mp3 \r\nFILE2=../up.mp3\r\nnumberofentries=2\r\n");
    const std::string parent = std::filesystem::path(dir.path()).parent_path().parent_path().string();
    EXPECT_EQ(ReadPlaylistFile(dir.file("r.PLS")),
              (std::vector<std::string>{dir.path() + "song.mp3", parent + "/up.mp3"}));
}

TEST(PlsFile, CountsFromTheFileAreNotTrusted)
{
    TempDir dir;
    // No count: no entries.
    WriteFile(dir.file("none.pls"), "[playlist]\nFile1=/a.mp3\n");
    EXPECT_TRUE(ReadPls(dir.file("none.pls")).empty());
    // A huge count with two keys ends after the keys; a missing key adds nothing.
    WriteFile(dir.file("huge.pls"), "[playlist]\nFile1=/a.mp3\nFile3=/c.mp3\nNumberOfEntries=2147483647\n");
    EXPECT_EQ(ReadPls(dir.file("huge.pls")), (std::vector<std::string>{"/a.mp3", "/c.mp3"}));
    WriteFile(dir.file("neg.pls"), "[playlist]\nFile1=/a.mp3\nNumberOfEntries=-4\n");
    EXPECT_TRUE(ReadPls(dir.file("neg.pls")).empty());
    EXPECT_TRUE(ReadPls(dir.file("missing.pls")).empty());
}

TEST(PlaylistFiles, WritesReplaceWholeFilesOrFail)
{
    TempDir dir;
    EXPECT_THROW(WriteM3u(dir.file("no/such/folder/x.m3u"), Three), std::runtime_error);
    EXPECT_THROW(WritePls(dir.file("no/such/folder/x.pls"), Three), std::runtime_error);
    const std::string file = dir.file("keep.m3u");
    WriteFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    WriteM3u(file, Three);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files), QStringList{"keep.m3u"});
}

TEST(SavedPlaylist, RoundTripKeepsCaptionsAndTimes)
{
    TempDir dir;
    const std::string folder = dir.file("Playlist/");
    SavedPlaylist saved{Three,
                        {"1. The Band - Hello World", QString::fromUtf8("2. Ünïcode"), "3. caf\u00e9"},
                        {"03:25", "00:00", "02:05"}};
    WriteSavedPlaylist(folder, saved); // the folder is created
    EXPECT_EQ(ReadFile(folder + "loadedt.asv"), "03:25\r\n00:00\r\n02:05\r\n");
    const SavedPlaylist back = ReadSavedPlaylist(folder);
    EXPECT_EQ(back.paths, saved.paths);
    EXPECT_EQ(back.captions, saved.captions);
    EXPECT_EQ(back.times, saved.times);
}

TEST(SavedPlaylist, MismatchedFilesKeepEveryEntryInStep)
{
    TempDir dir;
    const std::string folder = dir.path();
    WriteFile(folder + "dummy.asv", "/a/one.mp3\r\n/a/two.mp3\r\n/a/three.mp3\r\n");
    WriteFile(folder + "loaded.asv", "1. One\r\n");
    WriteFile(folder + "loadedt.asv", "01:00\r\n02:00\r\n03:00\r\n04:00\r\n05:00\r\n");
    SavedPlaylist back = ReadSavedPlaylist(folder);
    EXPECT_EQ(back.paths.size(), 3u);
    EXPECT_EQ(back.captions, (std::vector<QString>{"1. One", "two", "three"}));
    EXPECT_EQ(back.times, (std::vector<QString>{"01:00", "02:00", "03:00"}));

    ::unlink((folder + "loadedt.asv").c_str());
    back = ReadSavedPlaylist(folder);
    EXPECT_EQ(back.times, (std::vector<QString>{"", "", ""}));
    ::unlink((folder + "dummy.asv").c_str());
    EXPECT_TRUE(ReadSavedPlaylist(folder).paths.empty()) << "nothing saved yet";
    EXPECT_TRUE(ReadSavedPlaylist(dir.file("absent/")).captions.empty());
}

TEST(SavedPlaylist, LineBreaksCannotShiftTheLines)
{
    TempDir dir;
    SavedPlaylist saved{{"/a/one.mp3", "/a/bad\nname.mp3", "/a/three.mp3"}, {"One\r\nTwo", "Bad", "Three"}, {"01:00"}};
    WriteSavedPlaylist(dir.path(), saved);
    const SavedPlaylist back = ReadSavedPlaylist(dir.path());
    EXPECT_EQ(back.paths, (std::vector<std::string>{"/a/one.mp3", "/a/three.mp3"}));
    EXPECT_EQ(back.captions, (std::vector<QString>{"One  Two", "Three"}));
    EXPECT_EQ(back.times, (std::vector<QString>{"01:00", ""}));
}

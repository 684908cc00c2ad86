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
    // Not UTF-8, so read as Latin-1: the names come back in UTF-8.
    EXPECT_EQ(ReadM3u(dir.file("list.m3u")),
              (std::vector<std::string>{"/music/one.mp3", "/music/two words.ogg", "/music/caf\xC3\xA9.wav"}));
    const std::vector<std::string> utf8{"/music/one.mp3", "/music/\xC3\x9C\xC3\xB1\xC3\xAF.wav"};
    WriteM3u(dir.file("list.m3u"), utf8);
    EXPECT_EQ(ReadM3u(dir.file("list.m3u")), utf8);
    // A list saved here of a file whose name is not UTF-8 finds that file again.
    WriteFile(dir.file("caf\xE9.wav"), "x");
    WriteM3u(dir.file("list.m3u"), {dir.file("caf\xE9.wav"), "/music/caf\xE9.wav"});
    EXPECT_EQ(ReadM3u(dir.file("list.m3u")),
              (std::vector<std::string>{dir.file("caf\xE9.wav"), "/music/caf\xC3\xA9.wav"}));
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

    // Over a longer playlist with keys of its own the file is new: nothing old survives.
    WriteFile(dir.file("a.pls"), "[playlist]\nFile1=/1\nTitle1=One\nLength1=3\nFile4=/4\nFile5=/5\n"
                                 "NumberOfEntries=5\nVersion=2\n");
    WritePls(dir.file("a.pls"), Three);
    const std::string text = ReadFile(dir.file("a.pls"));
    for (const char* old : {"File4", "File5", "Title1", "Length1", "Version", "=/1"})
        EXPECT_EQ(text.find(old), std::string::npos) << old;
    EXPECT_NE(text.find("NumberOfEntries=3"), std::string::npos);
    EXPECT_EQ(ReadPls(dir.file("a.pls")), Three);
}

TEST(PlaylistFiles, RelativeEntriesResolveBesideTheListWhateverTheCurrentFolder)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("album"));
    std::filesystem::create_directories(dir.file("elsewhere"));
    InFolder here(dir.file("elsewhere"));
    WriteFile(dir.file("album/album.m3u"), "#EXTM3U\n01 intro.mp3\n../other/02.mp3\n/abs/03.mp3\n");
    WriteFile(dir.file("album/album.pls"), "[playlist]\nFile1=01 intro.mp3\nFile2=sub/x.ogg\nNumberOfEntries=2\n");
    EXPECT_EQ(ReadPlaylistFile(dir.file("album/album.m3u")),
              (std::vector<std::string>{dir.file("album/01 intro.mp3"), dir.file("other/02.mp3"), "/abs/03.mp3"}));
    EXPECT_EQ(ReadPlaylistFile(dir.file("album/album.pls")),
              (std::vector<std::string>{dir.file("album/01 intro.mp3"), dir.file("album/sub/x.ogg")}));
    // A list named relatively still resolves beside itself.
    EXPECT_EQ(ReadPlaylistFile("../album/album.m3u")[0], dir.file("album/01 intro.mp3"));
}

TEST(PlaylistFiles, BackslashFoldersOfWindowsListsLeadToTheFilesThatExist)
{
    TempDir dir;
    std::filesystem::create_directories(dir.file("Artist/Album"));
    WriteFile(dir.file("Artist/Album/01.mp3"), "x");
    WriteFile(dir.file("odd\\name.mp3"), "x"); // a backslash is a letter of a name here
    WriteFile(dir.file("list.m3u"), "#EXTM3U\r\nArtist\\Album\\01.mp3\r\nodd\\name.mp3\r\n"
                                    "Gone\\02.mp3\r\nC:\\Music\\03.mp3\r\n");
    WriteFile(dir.file("list.pls"), "[playlist]\r\nFile1=Artist\\Album\\01.mp3\r\nNumberOfEntries=1\r\n");
    // Entries found nowhere stay as written.
    EXPECT_EQ(ReadPlaylistFile(dir.file("list.m3u")),
              (std::vector<std::string>{dir.file("Artist/Album/01.mp3"), dir.file("odd\\name.mp3"),
                                        dir.file("Gone\\02.mp3"), dir.file("C:\\Music\\03.mp3")}));
    EXPECT_EQ(ReadPlaylistFile(dir.file("list.pls")), (std::vector<std::string>{dir.file("Artist/Album/01.mp3")}));
}

TEST(PlaylistFiles, M3u8AndFileAddressesRead)
{
    TempDir dir;
    const std::string cafe = "caf\xC3\xA9";
    const std::string kana = "\xE3\x81\x82";
    WriteFile(dir.file("list.m3u8"), "\xEF\xBB\xBF#EXTM3U\n#EXTINF:3," + kana + "\n" + cafe + ".flac\n" +
                                         "file:///music/a%20b%C3%A9.mp3\n"
                                         "FILE://localhost/music/c%25d.ogg\n"
                                         "file://otherhost/music/far.mp3\n"
                                         "file:///music/odd%2.mp3%zz\n"
                                         "file:///music/nul%00.mp3\n" +
                                         "file:///" + kana + "/%E3%81%82.wav\n");
    EXPECT_EQ(ReadPlaylistFile(dir.file("list.m3u8")),
              (std::vector<std::string>{dir.file(cafe + ".flac"), "/music/a b\xC3\xA9.mp3", "/music/c%d.ogg",
                                        "/music/odd%2.mp3%zz", "/" + kana + "/" + kana + ".wav"}));
    // The same bytes in an .m3u8 that is not valid UTF-8 stay as they are.
    WriteFile(dir.file("raw.m3u8"), "/music/caf\xE9.wav\n");
    EXPECT_EQ(ReadPlaylistFile(dir.file("raw.m3u8")), (std::vector<std::string>{"/music/caf\xE9.wav"}));
    WriteFile(dir.file("uri.pls"), "[playlist]\nFile1=file:///music/x%20y.mp3\nNumberOfEntries=1\n");
    EXPECT_EQ(ReadPlaylistFile(dir.file("uri.pls")), (std::vector<std::string>{"/music/x y.mp3"}));
    // A radio station's list keeps its addresses as they are, through a save as well.
    WriteFile(dir.file("radio.pls"), "[playlist]\nFile1=http://radio.example:8000/live%20mp3\n"
                                     "File2=HTTPS://radio.example/b?x=1\nFile3=mms+x.y://a/b\nFile4=9p://no\n"
                                     "NumberOfEntries=4\n");
    const std::vector<std::string> radio{"http://radio.example:8000/live%20mp3", "HTTPS://radio.example/b?x=1",
                                         "mms+x.y://a/b", dir.file("9p:/no")};
    EXPECT_EQ(ReadPlaylistFile(dir.file("radio.pls")), radio);
    WriteM3u(dir.file("again.m3u"), radio);
    EXPECT_EQ(ReadPlaylistFile(dir.file("again.m3u")), radio);
    static constexpr char nul[] = "http://a\0b\nhttp://ok\n"; // no address holds a NUL byte
    WriteFile(dir.file("nul.m3u"), std::string(nul, sizeof nul - 1));
    EXPECT_EQ(ReadPlaylistFile(dir.file("nul.m3u")), (std::vector<std::string>{"http://ok"}));
    // A list that was named but cannot be read is an error, whatever its kind.
    EXPECT_THROW(ReadPlaylistFile(dir.file("missing.pls")), std::runtime_error);
    EXPECT_THROW(ReadPlaylistFile(dir.file("missing.M3U8")), std::runtime_error);
}

TEST(PlaylistFiles, SaveNamesGetTheFormatsExtensionUnlessTheyHaveAPlaylistOne)
{
    EXPECT_EQ(PlaylistSaveName("/m/Mr. Brown favourites", ".pls"), "/m/Mr. Brown favourites.pls");
    EXPECT_EQ(PlaylistSaveName("/m/mix", ".m3u"), "/m/mix.m3u");
    EXPECT_EQ(PlaylistSaveName("/m/notes.txt", ".m3u"), "/m/notes.txt.m3u");
    EXPECT_EQ(PlaylistSaveName("/m.d/mix", ".pls"), "/m.d/mix.pls");
    for (const char* kept : {"/m/a.pls", "/m/a.M3U", "/m/a.m3u8", "/m/a.PLS"})
        EXPECT_EQ(PlaylistSaveName(kept, ".pls"), kept);
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
    // One far-off key among a huge count: read at once, not after walking the
    // missing keys below it. Keys come in number order; a lookup of File2 does
    // not find "File02", and keys differing in case are one key.
    WriteFile(dir.file("far.pls"), "[playlist]\nFile2000000000=/far.mp3\nfile2=/b.mp3\nFile02=/x.mp3\n"
                                   "FILE1=/a.mp3\nNumberOfEntries=2000000000\n");
    EXPECT_EQ(ReadPls(dir.file("far.pls")), (std::vector<std::string>{"/a.mp3", "/b.mp3", "/far.mp3"}));
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

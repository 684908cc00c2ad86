#include "ShellCommands.h"
#include "Associations.h"
#include "CommandHandler.h"

#include "platform/profile.h"
#include "platform/registry.h"
#include "playlist/PlaylistWindow.h"
#include "support/MessageBoxRecorder.h"
#include "support/TempDir.h"

#include <QDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using platform::Registry;
using platform::RegistryRoot;
using playlist::RealboxItem;
using playlist::Tplayl;
using testsupport::TempDir;
using testsupport::TestData;

namespace {

const std::string X = "/opt/orvella/orvella";

struct Store {
    TempDir dir;
    Registry registry{dir.file("registry")};
    // What the engine plays, with a plug-in for FLAC and MP4.
    shell::AssociationTarget target{registry,
                                    X,
                                    "/opt/orvella/orvella.svg",
                                    {dir.file("data/applications/"), dir.file("config/mimeapps.list")},
                                    shell::FileTypesOfExtensionList("*.wav;*.mp3;*.ogg;*.wma;*.flac;*.MP4;")};
};

QStringList Captions(const Tplayl& playlist)
{
    QStringList captions;
    for (const RealboxItem& item : playlist.realboxItems().Items())
        captions << item.caption;
    return captions;
}

QString Fixture(const char* name)
{
    return QString::fromStdString(TestData(name));
}

} // namespace

TEST(MacroExecution, TheFirstBatchAppendsToAPlaylistFromTheCommandLineAndBackToBackCommandsAddBothFiles)
{
    Tplayl playlist;
    const QString wav = Fixture("fileinfo/pcm_s16_stereo.wav");
    playlist.addDroppedFiles({wav});
    QList<int> played;
    shell::MacroExecutor executor(playlist, {[&](int entry) { played << entry; }, {}});
    TDDEHandler handler("orvella-test-unregistered");
    handler.SetMacroHandler(
        [&](TDDEHandler* sender, const QStringList& commands) { executor.TEDDdeServerExecuteMacro(sender, commands); });

    const QString mp3 = Fixture("playlist/hello_world.mp3");
    const QString ogg = Fixture("fileinfo/vorbis_comments.ogg");
    handler.ExecuteMacro({QString("[Open(\"%1\")][Enqueue(\"%2\")]").arg(mp3, ogg)});
    ASSERT_EQ(playlist.Count(), 3) << "nothing is emptied";
    EXPECT_EQ(playlist.ListBox1.Items(),
              (std::vector<std::string>{wav.toStdString(), mp3.toStdString(), ogg.toStdString()}));
    EXPECT_EQ(Captions(playlist).mid(1),
              QStringList({"2. The Band - Hello World", QString::fromUtf8("3. Ogg Artist - Café € Title")}));
    EXPECT_EQ(playlist.realboxItems().Item(1).time, "00:03") << "titles and times are refreshed";
    EXPECT_EQ(played, QList<int>{1}) << "Open plays the first file it added";

    // Later batches append; commands without a quote or of another kind add
    // nothing; Enqueue plays nothing.
    handler.ExecuteMacro({"[Open(no quote)]", "[Play(\"" + mp3 + "\")]", "[Enqueue(\"" + mp3 + "\")]"});
    EXPECT_EQ(playlist.Count(), 4);
    EXPECT_EQ(Captions(playlist).last(), "4. The Band - Hello World");
    EXPECT_EQ(played, QList<int>{1});
}

TEST(MacroExecution, AProgramStartedWithoutFilesKeepsItsPlaylist)
{
    Tplayl playlist;
    const QString wav = Fixture("fileinfo/pcm_s16_stereo.wav");
    playlist.addDroppedFiles({wav});
    bool activated = false;
    shell::MacroExecutor executor(playlist, {{}, [&] { activated = true; }});
    executor.TEDDdeServerExecuteMacro(nullptr, {"[Enqueue(\"" + wav + "\")]"});
    EXPECT_EQ(playlist.Count(), 2);
    EXPECT_FALSE(activated);
    executor.TEDDdeServerExecuteMacro(nullptr, {kActivateCommand});
    EXPECT_TRUE(activated);
    EXPECT_EQ(playlist.Count(), 2);
}

TEST(MacroExecution, AListThatCannotBeReadIsSkippedAndOpenPlaysTheFirstEntryAdded)
{
    TempDir dir;
    testsupport::MessageBoxRecorder boxes;
    const QString wav = Fixture("fileinfo/pcm_s16_stereo.wav");
    Tplayl playlist;
    QList<int> played;
    shell::MacroExecutor executor(playlist, {[&](int entry) { played << entry; }, {}});
    const QString missing = QString::fromStdString(dir.file("missing.m3u"));
    executor.TEDDdeServerExecuteMacro(nullptr, {"[Open(\"" + missing + "\")]", "[Open(\"" + wav + "\")]"});
    EXPECT_EQ(playlist.Count(), 1);
    EXPECT_EQ(playlist.realboxItems().Count(), 1);
    EXPECT_EQ(boxes.count(), 1u);
    EXPECT_EQ(played, QList<int>{0});
    // Nothing added: nothing to play.
    executor.TEDDdeServerExecuteMacro(nullptr, {"[Open(\"" + missing + "\")]"});
    EXPECT_EQ(played, QList<int>{0});
}

TEST(MacroExecution, APlaylistFileAddsItsEntriesNotItself)
{
    TempDir dir;
    const QString mp3 = Fixture("playlist/hello_world.mp3");
    const QString wav = Fixture("fileinfo/pcm_s16_stereo.wav");
    testsupport::WriteFile(dir.file("two.m3u"), "#EXTM3U\n" + mp3.toStdString() + "\n" + wav.toStdString() + "\n");

    Tplayl playlist;
    shell::MacroExecutor executor(playlist);
    executor.TEDDdeServerExecuteMacro(nullptr,
                                      {QString("[Open(\"%1\")]").arg(QString::fromStdString(dir.file("two.m3u")))});
    EXPECT_EQ(playlist.ListBox1.Items(), (std::vector<std::string>{mp3.toStdString(), wav.toStdString()}));
}

TEST(Associate, NothingCheckedStillReportsSuccessAndWritesNothing)
{
    Store s;
    testsupport::MessageBoxRecorder boxes;
    shell::GoAssociate(s.target, {});
    ASSERT_EQ(boxes.count(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, shell::kAssociatedMessage);
    EXPECT_FALSE(s.registry.keyExists(RegistryRoot::ClassesRoot, ".MP3"));
    EXPECT_FALSE(testsupport::FileExists(s.dir.file("data/applications/orvella.desktop")));
}

TEST(Associate, CheckedTypesGetTheirEntriesAndTheDesktopEntryKeepsEarlierOnes)
{
    Store s;
    testsupport::MessageBoxRecorder boxes;
    shell::GoAssociate(s.target, {"MP3"});
    shell::GoAssociate(s.target, {"OGG", "M3U"});
    EXPECT_EQ(boxes.count(), 2u);
    for (const char* extension : {".MP3", ".OGG", ".M3U"})
        EXPECT_EQ(s.registry.readString(RegistryRoot::ClassesRoot, extension, ""), "Orvella Audio File") << extension;
    EXPECT_FALSE(s.registry.keyExists(RegistryRoot::ClassesRoot, ".WAV"));

    const std::string entry = testsupport::ReadFile(s.dir.file("data/applications/orvella.desktop"));
    EXPECT_NE(entry.find("audio/mpeg"), std::string::npos);
    EXPECT_NE(entry.find("audio/x-mpegurl"), std::string::npos);
    EXPECT_NE(entry.find("ogg"), std::string::npos);
    const std::string mimeapps = testsupport::ReadFile(s.dir.file("config/mimeapps.list"));
    EXPECT_NE(mimeapps.find("audio/mpeg=orvella.desktop;"), std::string::npos);
}

TEST(Associate, ADesktopFileThatCannotBeWrittenIsReportedInsteadOfSuccess)
{
    Store s;
    // A file where the applications folder should be.
    std::filesystem::create_directories(s.dir.file("data"));
    testsupport::WriteFile(s.dir.file("data/applications"), "");
    testsupport::MessageBoxRecorder boxes;
    try {
        shell::GoAssociate(s.target, {"MP3"});
        FAIL() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()),
                  shell::kDesktopNotWrittenMessage + s.dir.file("data/applications/orvella.desktop"));
    }
    EXPECT_EQ(boxes.count(), 0u) << "no success message";

    // The same for mimeapps.list.
    Store t;
    std::filesystem::create_directories(t.dir.file("config/mimeapps.list"));
    EXPECT_THROW(shell::GoAssociate(t.target, {"MP3"}), std::runtime_error);
    EXPECT_EQ(boxes.count(), 0u);
}

TEST(Associate, AKeyThatCannotBeCreatedStopsWithTheRegistryError)
{
    Store s;
    testsupport::WriteFile(s.registry.storePath(), "");
    ASSERT_EQ(chmod(s.registry.storePath().c_str(), 0444), 0);
    // A folder where the store should be: every change is taken in memory,
    // and writing them all at the end fails.
    Store t;
    std::filesystem::create_directories(t.registry.storePath());
    testsupport::MessageBoxRecorder boxes;
    for (Store* store : {&s, &t}) {
        try {
            shell::GoAssociate(store->target, {"MP3", "OGG"});
            FAIL() << "no error";
        } catch (const shell::RegistryError& error) {
            EXPECT_STREQ(error.what(), "Cannot create key .MP3, the user account may not have the required rights "
                                       "to create registry keys under HKEY_CLASSES_ROOT.");
        }
    }
    EXPECT_EQ(boxes.count(), 0u) << "no success message after a failure";
    EXPECT_FALSE(testsupport::FileExists(t.dir.file("data/applications/orvella.desktop")));
}

TEST(FirstRun, TheFirstStartAssociatesAllTwentyTypesAndTheNextLeavesEverythingAlone)
{
    Store s;
    EXPECT_TRUE(shell::FirstRun(s.target));
    shell::Associations associations(s.registry, X, "orvella");
    EXPECT_EQ(associations.AssociatedFileTypes().size(), 20u);
    EXPECT_EQ(s.registry.readString(RegistryRoot::CurrentUser, "Software\\Korvane\\Orvella", "FirstRun"), "false");

    // The desktop hears only of what plays: no MIDI, AAC or APE without a decoder,
    // and MP4 stays with the video player even though a plug-in lists it.
    platform::ProfileFile mimeapps(s.target.desktop.mimeappsList);
    for (const char* claimed : {"audio/mpeg", "audio/x-wav", "audio/flac", "audio/x-ms-wma", "audio/x-mpegurl"})
        EXPECT_EQ(mimeapps.readString("Default Applications", claimed, ""), "orvella.desktop;") << claimed;
    for (const char* left :
         {"video/mp4", "audio/midi", "audio/aac", "audio/x-ape", "audio/mp4", "audio/mp2", "application/vnd.ms-asf"})
        EXPECT_EQ(mimeapps.readString("Default Applications", left, "none"), "none") << left;
    const std::string entry = testsupport::ReadFile(s.dir.file("data/applications/orvella.desktop"));
    EXPECT_EQ(entry.find("video/"), std::string::npos);
    EXPECT_EQ(entry.find("audio/midi"), std::string::npos);

    // The user takes .OGG back; a later start must not associate it again.
    s.registry.writeString(RegistryRoot::ClassesRoot, ".OGG", "", "OtherPlayer.ogg");
    const std::string before = testsupport::ReadFile(s.registry.storePath());
    EXPECT_FALSE(shell::FirstRun(s.target));
    EXPECT_EQ(testsupport::ReadFile(s.registry.storePath()), before);
}

TEST(SecondStart, FilesAreMadeAbsoluteAndEnqueueIsAFlag)
{
    const QString cwd = QDir::currentPath();
    shell::CommandLineFiles files = shell::ParseCommandLine({"a b.mp3", "--enqueue", "/x/\"q\".ogg"});
    EXPECT_TRUE(files.enqueue);
    EXPECT_EQ(files.files, QStringList({cwd + "/a b.mp3", "/x/\"q\".ogg"}));
    EXPECT_FALSE(shell::ParseCommandLine({"x.mp3"}).enqueue);
    EXPECT_FALSE(files.newInstance);
    const shell::CommandLineFiles own = shell::ParseCommandLine({"--new-instance", "/y.ogg"});
    EXPECT_TRUE(own.newInstance);
    EXPECT_EQ(own.files, QStringList{"/y.ogg"});
    EXPECT_FALSE(shell::HandOverToRunningInstance("orvella-test-nobody", {}));
}

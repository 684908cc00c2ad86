#include "CommandHandler.h"

#include "platform/dde.h"

#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

TEST(CommandHandler, BracketedCommandsBackToBackAreSplit)
{
    EXPECT_EQ(TDDEHandler::SplitCommands("[Open(\"/a.mp3\")][Enqueue(\"/b.mp3\")]"),
              (QStringList{"[Open(\"/a.mp3\")]", "[Enqueue(\"/b.mp3\")]"}));
    EXPECT_EQ(TDDEHandler::SplitCommands(" [A] [B][C]"), (QStringList{"[A] [B]", "[C]"})); // only "][" splits
    EXPECT_EQ(TDDEHandler::SplitCommands("[Open(\"/x\")]"), QStringList{"[Open(\"/x\")]"});
}

TEST(CommandHandler, CommandsWaitUntilAHandlerIsRegistered)
{
    TDDEHandler handler("orvella-unit");
    handler.ExecuteMacro({"[Open(\"/a.mp3\")][Open(\"/b.mp3\")]", "[Enqueue(\"/c.mp3\")]"});
    EXPECT_EQ(handler.Pending().size(), 3);

    QList<QStringList> calls;
    handler.SetMacroHandler([&](TDDEHandler* sender, const QStringList& commands) {
        EXPECT_EQ(sender, &handler);
        calls << commands;
    });
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].size(), 3);
    EXPECT_TRUE(handler.Pending().isEmpty());
    handler.ExecuteMacro({"[Open(\"/d.mp3\")]"});
    ASSERT_EQ(calls.size(), 2);
    EXPECT_EQ(calls[1], QStringList{"[Open(\"/d.mp3\")]"});
}

TEST(CommandHandler, PathsAreTakenFromOpenAndEnqueueCommandsOnly)
{
    EXPECT_EQ(MacroCommandPath("[Open(\"/m/a b.mp3\")]"), QString("/m/a b.mp3"));
    EXPECT_EQ(MacroCommandPath("[Enqueue(\"/m/list.m3u\")]"), QString("/m/list.m3u"));
    EXPECT_EQ(MacroCommandPath("[Open(\"/m/say \"hi\".mp3\")]"), QString("/m/say \"hi\".mp3"));
    EXPECT_EQ(MacroCommandPath(QString::fromUtf8("[Open(\"/m/Ærø  .ogg\")]")), QString::fromUtf8("/m/Ærø  .ogg"));
    EXPECT_EQ(MacroCommandPath("[Open(\"/m/x.mp3\") trailing"), QString("/m/x.mp3"));
    EXPECT_FALSE(MacroCommandPath("[Open(/m/x.mp3)]").has_value());
    EXPECT_FALSE(MacroCommandPath("[Play(\"/m/x.mp3\")]").has_value());
}

TEST(CommandHandler, ASecondInstanceSendsAbsolutePathsOneCommandPerLine)
{
    QString cwd = QDir::currentPath();
    EXPECT_EQ(MacroRequestFor({"a.mp3", "/abs/b.ogg"}, false), "[Open(\"" + cwd + "/a.mp3\")]\n[Open(\"/abs/b.ogg\")]");
    EXPECT_EQ(MacroRequestFor({"/abs/c.wav"}, true), "[Enqueue(\"/abs/c.wav\")]");
}

TEST(CommandHandler, CommandsWaitWhileAMessageBoxOrDialogRunsItsOwnLoop)
{
    TDDEHandler handler("orvella-unit-nested");
    int calls = 0;
    handler.SetMacroHandler([&](TDDEHandler*, const QStringList&) { ++calls; });

    QEventLoop outer;
    QTimer::singleShot(0, [&] {
        // Inside this loop a request arrives; a box opened by the command opens another.
        QEventLoop box;
        QTimer::singleShot(0, [&] { handler.ExecuteMacro({"[Open(\"/a.mp3\")]"}); });
        QTimer::singleShot(300, &box, &QEventLoop::quit);
        box.exec();
        EXPECT_EQ(calls, 0) << "handled inside the box";
        QTimer::singleShot(300, &outer, &QEventLoop::quit);
    });
    outer.exec();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(handler.Pending().isEmpty());
}

TEST(CommandHandler, LongHandOversAreCutIntoRequestsTheChannelCarries)
{
    QStringList files;
    for (int k = 0; k < 100'000; ++k)
        files << QString("/music/some folder/track %1.mp3").arg(k);
    const QStringList requests = MacroRequestsFor(files, false);
    ASSERT_GT(requests.size(), 1);
    QStringList lines;
    for (const QString& request : requests) {
        EXPECT_LE(request.toUtf8().size(), platform::kMaxDdeRequestBytes);
        lines << request.split('\n');
    }
    ASSERT_EQ(lines.size(), files.size()) << "every file once";
    EXPECT_EQ(lines.first(), "[Open(\"/music/some folder/track 0.mp3\")]") << "only the first file is started";
    EXPECT_EQ(lines.filter("[Open(").size(), 1);
    EXPECT_EQ(lines.last(), "[Enqueue(\"/music/some folder/track 99999.mp3\")]");

    // A path no request can carry is left out; the rest still goes.
    const QString huge = "/" + QString(platform::kMaxDdeRequestBytes, 'x');
    EXPECT_EQ(MacroRequestsFor({huge, "/a.mp3"}, false), QStringList{"[Open(\"/a.mp3\")]"});
    EXPECT_TRUE(MacroRequestsFor({huge}, true).isEmpty());
}

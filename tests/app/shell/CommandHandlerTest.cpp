#include "TDDEHandler.h"

#include <QDir>
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
    EXPECT_EQ(MacroRequestFor({"a.mp3", "/abs/b.ogg"}, false),
              "[Open(\"" + cwd + "/a.mp3\")]\n[Open(\"/abs/b.ogg\")]");
    EXPECT_EQ(MacroRequestFor({"/abs/c.wav"}, true), "[Enqueue(\"/abs/c.wav\")]");
}

#include "playlist/PlaylistText.h"
#include "playlist/OpenFilter.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace playlist;

TEST(PlaylistText, CapitalizeWordsRaisesWordStartsOnly)
{
    EXPECT_EQ(CapitalizeWords("hello world"), "Hello World");
    EXPECT_EQ(CapitalizeWords("  two  blanks"), "  Two  Blanks");
    EXPECT_EQ(CapitalizeWords("rock-n-roll, baby"), "Rock-n-roll, Baby");
    EXPECT_EQ(CapitalizeWords(QString::fromUtf8("élan vital")), QString::fromUtf8("élan Vital"));
    EXPECT_EQ(CapitalizeWords(QString("abc") + QChar(0) + "def"), "Abc");
    EXPECT_EQ(CapitalizeWords(QString(150, u'a')).size(), 100);
    // A character outside the basic plane at the cut is dropped whole.
    const QString longer = QString(99, u'x') + QString::fromUtf8("\xF0\x9F\x8E\xB5") + "tail";
    const QString cut = CapitalizeWords(longer);
    EXPECT_EQ(cut.size(), 99);
    EXPECT_FALSE(cut.back().isHighSurrogate());
}

TEST(PlaylistText, CaptionsFollowTheTitleFormat)
{
    const QString t = "HELLO WORLD", a = "the band", base = "my SONG";
    const QString expectBoth[] = {"The Band - Hello World", "Hello World - The Band", "The Band \\ Hello World",
                                  "Hello World \\ The Band", "\"Hello World\" By The Band"};
    for (int format = 0; format < 5; ++format) {
        EXPECT_EQ(PlaylistCaption(t, a, base, format), expectBoth[format]) << format;
        EXPECT_EQ(PlaylistCaption("", a, base, format), "The Band") << format;
        EXPECT_EQ(PlaylistCaption(t, "", base, format), format == 4 ? "\"Hello World\"" : "Hello World") << format;
        EXPECT_EQ(PlaylistCaption("", "", base, format), "my SONG") << "the file name stays as it is";
    }
    // With no format chosen the texts are joined by one blank.
    EXPECT_EQ(PlaylistCaption(t, a, base, -1), "The Band Hello World");
    EXPECT_EQ(PlaylistCaption(t, "", base, 9), " Hello World");
    EXPECT_EQ(PlaylistCaption("", a, base, 9), "The Band ");
}

TEST(PlaylistText, RenumberAddsReplacesAndRemovesPrefixes)
{
    EXPECT_EQ(RenumberCaption("3. Intro", 0, true), "1. Intro");
    EXPECT_EQ(RenumberCaption("Intro", 4, true), "5. Intro");
    EXPECT_EQ(RenumberCaption(RenumberCaption("Intro", 0, true), 0, true), "1. Intro") << "no doubling";
    EXPECT_EQ(RenumberCaption("12.   Intro", 0, false), "Intro");
    EXPECT_EQ(RenumberCaption("  Intro", 1, true), "2. Intro") << "leading blanks go";
    EXPECT_EQ(RenumberCaption("  Intro", 1, false), "Intro");
    EXPECT_EQ(RenumberCaption("Dr. Dre - Still", 0, true), "1. Dr. Dre - Still");
    EXPECT_EQ(RenumberCaption(".hidden", 0, true), "1. .hidden");
    EXPECT_EQ(RenumberCaption("", 0, true), "1. ");
    EXPECT_EQ(RenumberCaption("1. ", 0, false), "");
}

TEST(PlaylistText, OnlyTheWrittenPrefixIsTakenForANumber)
{
    // Digits, ".", a blank at the very start; anything else is the caption's own text.
    for (const QString own : {"Track01.wav", "01.wav", "Vol 2. Intro", "1.Intro", "2.5 Mix", "x1. Intro"}) {
        EXPECT_EQ(RenumberCaption(own, 2, true), "3. " + own);
        EXPECT_EQ(RenumberCaption(own, 2, false), own);
        QString caption = own;
        for (int round = 0; round < 3; ++round)
            caption = RenumberCaption(RenumberCaption(caption, 0, false), 0, true);
        EXPECT_EQ(caption, "1. " + own) << "off and on neither doubles nor loses text";
        EXPECT_EQ(RenumberCaption(caption, 0, false), own);
    }
    EXPECT_EQ(RenumberCaption("3. Vol 2. Intro", 0, true), "1. Vol 2. Intro");
    EXPECT_EQ(RenumberCaption("10. 01.wav", 1, false), "01.wav");
}

TEST(PlaylistText, OnlyTextsInOneCaseAreLoweredFirst)
{
    EXPECT_EQ(PlaylistCaption("HELLO WORLD", "", "", 0), "Hello World");
    EXPECT_EQ(PlaylistCaption("hello world", "", "", 0), "Hello World");
    EXPECT_EQ(PlaylistCaption("Song", "Paul McCartney", "", 0), "Paul McCartney - Song");
    EXPECT_EQ(PlaylistCaption("all my friends", "LCD Soundsystem", "", 1), "All My Friends - LCD Soundsystem");
    EXPECT_EQ(PlaylistCaption("tRACK one", "", "", 0), "TRACK One") << "mixed: first letters raised only";
    EXPECT_EQ(PlaylistCaption(QString::fromUtf8("ÉTÉ 85"), "", "", 0), QString::fromUtf8("ÉtÉ 85"));
    EXPECT_TRUE(IsSingleCase("123 - !"));
}

TEST(PlaylistText, TimesAreMinutesAndSecondsWithHoursFromAnHourOn)
{
    EXPECT_EQ(PlaylistTimeText(3725), "1:02:05");
    EXPECT_EQ(PlaylistTimeText(36000), "10:00:00");
    EXPECT_EQ(PlaylistTimeText(3599.5), "1:00:00");
    EXPECT_EQ(PlaylistTimeText(4294967.295), "1193:02:47"); // the longest the player holds
    EXPECT_EQ(PlaylistTimeText(59.5), "01:00");
    EXPECT_EQ(PlaylistTimeText(3599.4), "59:59");
    EXPECT_EQ(PlaylistTimeText(0), "00:00");
    EXPECT_EQ(PlaylistTimeText(-3), "00:00");
    EXPECT_EQ(PlaylistTimeText(std::nan("")), "00:00");
    EXPECT_EQ(PlaylistTimeText(1e300).size(), 5);
}

TEST(PlaylistText, NamesAndExtensions)
{
    EXPECT_EQ(BaseNameOf("/music/track.xyz"), "track");
    EXPECT_EQ(BaseNameOf("/music/a.b/noext"), "noext");
    EXPECT_EQ(BaseNameOf("/music/x.tar.gz"), "x.tar");
    EXPECT_EQ(BaseNameOf("/music/caf\xE9.mp3"), QString::fromUtf8("café")) << "8-bit names show as Latin-1";
    EXPECT_EQ(UpperExtension("/lists/Road.Pls"), ".PLS");
    EXPECT_EQ(UpperExtension("/lists.d/noext"), "");
}

TEST(OpenFilter, BuildsEveryFilterInOrder)
{
    const QString filter = BuildOpenFilesFilter("*.wav;*.mp3;", "*.VOC;*.aiff;");
    EXPECT_EQ(filter, "All Playable Media|*.wav;*.mp3;*.VOC;*.aiff;|"
                      "Orvella Supported|*.wav;*.mp3;|"
                      "Plug-in Supported|*.VOC;*.aiff;|"
                      "Playlists (*.Pls,*.M3u)|*.Pls;*.M3u|"
                      "MPEG Audio (*.Mp1,*.Mp2,*.Mp3)|*.mp1;*.mp2;*.mp3|"
                      "Windows Media Audio (*.Wma)|*.wma|"
                      "Ogg Vorbis (*.Ogg)|*.ogg|"
                      "VOC Audio (*.VOC)|*.VOC|"
                      "aiff Audio (*.aiff)|*.aiff|");
    // A list without its final ";" gives the same per-plug-in filters.
    const qsizetype fixed = BuildOpenFilesFilter("", "").count(" Audio (");
    EXPECT_EQ(BuildOpenFilesFilter("", "*.VOC").count(" Audio (") - fixed, 1);
    EXPECT_EQ(BuildOpenFilesFilter("*.wav;", "").count('|'), 14);
    // At most 99 plug-in patterns.
    QString many;
    for (int i = 0; i < 120; ++i)
        many += QString("*.e%1;").arg(i);
    EXPECT_EQ(BuildOpenFilesFilter("", many).count(" Audio (") - fixed, 99);
}

TEST(OpenFilter, QtFiltersKeepNamesPatternsAndIndexes)
{
    const QStringList qt = ToQtNameFilters(BuildOpenFilesFilter("*.wav;*.mp3;", "*.VOC;"));
    ASSERT_EQ(qt.size(), 8);
    EXPECT_EQ(qt[0], "All Playable Media (*.wav *.mp3 *.VOC)");
    EXPECT_EQ(qt[2], "Plug-in Supported (*.VOC)");
    EXPECT_EQ(qt[PlaylistsFilterIndex - 1], "Playlists (*.Pls,*.M3u) (*.Pls *.M3u)");
    EXPECT_EQ(qt[6], "Ogg Vorbis (*.Ogg) (*.ogg)") << "patterns in the name differ in case";
    EXPECT_EQ(qt[7], "VOC Audio (*.VOC)") << "the name already carries its pattern";
    EXPECT_EQ(ToQtNameFilters("Pls Playlists(*.pls)|*.pls|M3u Playlists(*.m3u)|*.m3u"),
              QStringList({"Pls Playlists(*.pls)", "M3u Playlists(*.m3u)"}));
    EXPECT_EQ(ToQtNameFilters("Plug-in Supported||"), QStringList{"Plug-in Supported ()"});
}

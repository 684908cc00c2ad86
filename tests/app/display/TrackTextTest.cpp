#include "app/display/TrackText.h"

#include <gtest/gtest.h>

using display::FinishTrackLabels;

TEST(TrackText, CaptionFromArtistAndTitle)
{
    auto labels = FinishTrackLabels("song one", "Band", "file", true);
    EXPECT_EQ(labels.displaycap, "Band - Song One");
    EXPECT_EQ(labels.titleedit, "Song One");
    EXPECT_EQ(labels.artistedit, "Band");

    EXPECT_EQ(FinishTrackLabels("", "the band", "f", true).displaycap, "The Band");
    EXPECT_EQ(FinishTrackLabels("a title", "", "f", true).displaycap, "A Title");
    // No lower-casing first: capitals in tags stay.
    EXPECT_EQ(FinishTrackLabels("LOUD song", "", "f", true).displaycap, "LOUD Song");
    EXPECT_EQ(FinishTrackLabels("", "", "my file", true).displaycap, "My File");
}

TEST(TrackText, AnUnrecognisedFileShowsItsName)
{
    // A damaged Ogg header leaves the file name as artist, but the file does not count.
    auto labels = FinishTrackLabels("(Currupt Header)", "broken.ogg", "broken", false);
    EXPECT_EQ(labels.displaycap, "Broken");
    EXPECT_EQ(labels.titleedit, "Broken");
    EXPECT_EQ(labels.artistedit, "");
    // A WAV file: artist is the file name, title empty.
    labels = FinishTrackLabels("", "take five.wav", "take five", true);
    EXPECT_EQ(labels.displaycap, "Take Five.wav");
    EXPECT_EQ(labels.titleedit, "");
}

TEST(TrackText, ChannelStatusAndTime)
{
    EXPECT_EQ(display::ChannelLabel("Joint Stereo"), "Stereo");
    EXPECT_EQ(display::ChannelLabel("STEREO"), "Stereo");
    EXPECT_EQ(display::ChannelLabel("Dual Channel"), "Dual");
    EXPECT_EQ(display::ChannelLabel("Mono"), "Mono");
    EXPECT_EQ(display::ChannelLabel(""), "Mono");

    EXPECT_EQ(display::ElapsedTimeText(3723 * 1000 + 999), "1:02:03");
    EXPECT_EQ(display::ElapsedTimeText(14400 * 1000), "4:00:00");
    EXPECT_EQ(display::ElapsedTimeText(3599999), "59:59");
    EXPECT_EQ(display::ElapsedTimeText(59999), "00:59");
    EXPECT_EQ(display::ElapsedTimeText(0), "00:00");
    EXPECT_EQ(display::ElapsedTimeText(-1), "00:00");

    EXPECT_EQ(display::StatusText(3), "Playing ");
    EXPECT_EQ(display::StatusText(0), "Standby");
    EXPECT_EQ(display::StatusText(4), "Paused");
    EXPECT_EQ(display::StatusText(5), "");
}

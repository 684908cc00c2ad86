// The MIDI file parser: length from the tempo map, titles, the RMID wrapper,
// the rewrite handed to the synthesizer, and what it refuses.

#include "SmfFile.h"

#include "support/ByteBuilder.h"
#include "support/MidiBuilder.h"

#include <gtest/gtest.h>

using namespace midi;
using testsupport::ByteBuilder;
using testsupport::MidiTrack;
using testsupport::SmfBytes;

namespace {

MidiTrack OneNote(uint32_t ticks)
{
    MidiTrack t;
    return t.noteOn(0, 0, 60, 100).noteOff(ticks, 0, 60).endOfTrack(0);
}

SmfError Parse(const std::string& bytes)
{
    SmfFile song;
    return ParseMidi(bytes, song);
}

// What the synthesizer is given parses to the same song.
void ExpectRewriteKeeps(const SmfFile& song)
{
    SmfFile again;
    ASSERT_EQ(ParseMidi(song.synthBytes, again), SmfError::None);
    EXPECT_EQ(again.endTick, song.endTick);
    EXPECT_EQ(again.lengthMs, song.lengthMs);
    EXPECT_EQ(again.noteCount, song.noteCount);
    EXPECT_EQ(again.trackCount, song.trackCount);
    EXPECT_EQ(again.synthBytes, song.synthBytes) << "the rewrite is stable";
}

} // namespace

TEST(SmfFile, LengthFollowsTheTempoMapOfEveryTrack)
{
    SmfFile song;
    ASSERT_EQ(ParseMidi(testsupport::KnownSongBytes("Tone"), song), SmfError::None);
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.trackCount, 2);
    EXPECT_EQ(song.endTick, 1920u);
    EXPECT_EQ(song.lengthMs, 1500);
    EXPECT_EQ(song.noteCount, 1);
    EXPECT_EQ(song.title, "Tone");
    EXPECT_DOUBLE_EQ(song.tempo.msAt(960), 1000.0);
    EXPECT_DOUBLE_EQ(song.tempo.msAt(1440), 1250.0);
    EXPECT_EQ(song.tempo.tickAt(1250), 1440u);
    EXPECT_EQ(song.tempo.tickAt(500), 480u);
    ExpectRewriteKeeps(song);

    // A tempo change in a later track counts as much as one in the first; the
    // last track's change wins at a shared tick.
    MidiTrack first, second;
    first.noteOn(0, 0, 60, 100).noteOff(960, 0, 60).endOfTrack(0);
    second.tempo(0, 1000000).endOfTrack(0);
    ASSERT_EQ(ParseMidi(SmfBytes(1, 480, {first, second}), song), SmfError::None);
    EXPECT_EQ(song.lengthMs, 2000);
    MidiTrack third;
    third.tempo(0, 250000).endOfTrack(0);
    ASSERT_EQ(ParseMidi(SmfBytes(1, 480, {first, second, third}), song), SmfError::None);
    EXPECT_EQ(song.lengthMs, 500);
}

TEST(SmfFile, TitleIsTheKaraokeTitleElseTheFirstTracksName)
{
    SmfFile song;
    ASSERT_EQ(ParseMidi(testsupport::KnownKaraokeBytes("Sing Along"), song), SmfError::None);
    EXPECT_EQ(song.title, "Sing Along") << "not the track name, nor the second @T line";
    EXPECT_EQ(song.lengthMs, 1500);

    MidiTrack named;
    named.trackName(0, "  \tPadded Name \r\n").noteOn(0, 0, 60, 90).noteOff(96, 0, 60).trackName(0, "Later");
    ASSERT_EQ(ParseMidi(SmfBytes(0, 96, {named.endOfTrack(0)}), song), SmfError::None);
    EXPECT_EQ(song.title, "Padded Name");

    ASSERT_EQ(ParseMidi(SmfBytes(0, 96, {OneNote(96)}), song), SmfError::None);
    EXPECT_EQ(song.title, "");
    MidiTrack piano;
    piano.trackName(0, "Piano");
    ASSERT_EQ(ParseMidi(SmfBytes(1, 96, {OneNote(96), piano.endOfTrack(0)}), song), SmfError::None);
    EXPECT_EQ(song.title, "") << "a later track's name is its instrument's";
}

TEST(SmfFile, RmidCarriesTheSongInItsDataChunk)
{
    const std::string smf = testsupport::KnownSongBytes("Wrapped");
    SmfFile song;
    ASSERT_EQ(ParseMidi(testsupport::RmidBytes(smf), song), SmfError::None);
    EXPECT_EQ(song.lengthMs, 1500);
    EXPECT_EQ(song.title, "Wrapped");

    // A data chunk that claims more than the file holds gives what there is.
    std::string cut = testsupport::RmidBytes(smf);
    const std::size_t data = cut.find("data");
    cut.replace(data + 4, 4, std::string("\xFF\xFF\xFF\xFF", 4));
    EXPECT_EQ(UnwrapRmid(cut).size(), smf.size() + smf.size() % 2);
    EXPECT_EQ(Parse(cut), SmfError::None);

    EXPECT_EQ(Parse(ByteBuilder().text("RIFF").u32le(4 + smf.size()).text("WAVE").text(smf).str()), SmfError::NotMidi);
    EXPECT_EQ(Parse(ByteBuilder().text("RIFF").u32le(12).text("RMID").text("LIST").u32le(0xFFFFFFF0).str()),
              SmfError::NotMidi);
    EXPECT_EQ(Parse(ByteBuilder().text("RIFF").u32le(4).text("RMI").str()), SmfError::NotMidi);
}

TEST(SmfFile, RewriteSpellsOutRunningStatusAndKeepsOnlyWhatTheSynthesizerReads)
{
    MidiTrack t;
    t.raw(ByteBuilder().u8(0).u8(0x90).u8(60).u8(100).str()) // note on, then running status
        .raw(ByteBuilder().u8(0).u8(64).u8(100).str())
        .meta(10, 0x7F, "vendor")                       // sequencer-specific: left out, its time kept
        .raw(ByteBuilder().u8(10).u8(67).u8(100).str()) // running status across a meta event
        .raw(ByteBuilder().u8(0).u8(0xF0).u8(3).u8(0x7E).u8(0x09).u8(0xF7).str()) // system exclusive
        .raw(ByteBuilder().u8(0).u8(0xF7).u8(2).u8(1).u8(2).str())                // escape: left out
        .meta(0, 0x51, std::string("\0\0\0", 3))                                  // tempo 0: left out
        .meta(0, 0x58, std::string("\4\2\x18\x08", 4))
        .raw(ByteBuilder().u8(100).u8(0x80).u8(60).u8(0).str())
        .raw(ByteBuilder().u8(0).u8(64).u8(0).str());
    SmfFile song;
    ASSERT_EQ(ParseMidi(SmfBytes(0, 100, {t}), song), SmfError::None);
    EXPECT_EQ(song.noteCount, 3);
    EXPECT_EQ(song.endTick, 120u) << "a track without End of Track ends at its last event";
    EXPECT_EQ(song.lengthMs, 600) << "a tempo of zero is ignored";
    auto bytes = [](std::initializer_list<uint8_t> b) { return std::string(b.begin(), b.end()); };
    const std::string expected =
        std::string("MThd") + bytes({0, 0, 0, 6, 0, 0, 0, 1, 0, 100}) + "MTrk" + bytes({0, 0, 0, 38}) +
        bytes({0, 0x90, 60, 100}) + bytes({0, 0x90, 64, 100}) + // status written out
        bytes({20, 0x90, 67, 100}) +                            // both deltas
        bytes({0, 0xF0, 3, 0x7E, 0x09, 0xF7}) + bytes({0, 0xFF, 0x58, 4, 4, 2, 0x18, 8}) + bytes({100, 0x80, 60, 0}) +
        bytes({0, 0x80, 64, 0}) + bytes({0, 0xFF, 0x2F, 0}); // End of Track added
    EXPECT_EQ(song.synthBytes, expected);
    ExpectRewriteKeeps(song);
}

TEST(SmfFile, ChunksAndTracksAreBoundedByTheFile)
{
    SmfFile song;
    // A track chunk that claims more than the file holds ends where the file does.
    std::string cut = SmfBytes(0, 96, {OneNote(96)});
    cut.replace(18, 4, std::string("\x7F\xFF\xFF\xFF", 4));
    cut.resize(cut.size() - 4); // without its End of Track
    ASSERT_EQ(ParseMidi(cut, song), SmfError::None);
    EXPECT_EQ(song.endTick, 96u);
    ExpectRewriteKeeps(song);
    // So does a meta event longer than its track.
    MidiTrack longMeta = OneNote(96);
    longMeta.raw(ByteBuilder().u8(0).u8(0xFF).u8(0x01).u8(0x8F).u8(0xFF).u8(0xFF).u8(0x7F).text("abc").str());
    EXPECT_EQ(Parse(SmfBytes(0, 96, {longMeta})), SmfError::None);

    // The header's track count rules; other chunks are skipped; a longer header too.
    const std::string extra = SmfBytes(1, 96, {OneNote(96), OneNote(960)}, 1);
    ASSERT_EQ(ParseMidi(extra, song), SmfError::None);
    EXPECT_EQ(song.trackCount, 1);
    EXPECT_EQ(song.lengthMs, 500);
    std::string odd = SmfBytes(0, 96, {OneNote(96)});
    odd.insert(14, ByteBuilder().text("XFIH").u32be(3).text("abc").str());
    odd.replace(4, 4, std::string("\0\0\0\x08", 4));
    odd.insert(14, "zz");
    ASSERT_EQ(ParseMidi(odd, song), SmfError::None);
    EXPECT_EQ(song.trackCount, 1);

    // Gaps too long for one delta, once the events between are left out, are bridged.
    MidiTrack gap;
    gap.meta(0x0FFFFFFF, 0x7F, "x").meta(0x0FFFFFFF, 0x7F, "y").noteOn(1, 0, 60, 100).noteOff(1, 0, 60);
    ASSERT_EQ(ParseMidi(SmfBytes(0, 30000, {gap.endOfTrack(0)}), song), SmfError::None);
    EXPECT_EQ(song.endTick, 2u * 0x0FFFFFFF + 2);
    ExpectRewriteKeeps(song);
}

TEST(SmfFile, SmpteTimeIsRewrittenInQuarterNotes)
{
    // 25 frames of 40 ticks: one tick per millisecond, tempo events do not count.
    MidiTrack t;
    t.tempo(0, 100000).noteOn(0, 0, 60, 100).noteOff(1000, 0, 60).endOfTrack(500);
    SmfFile song;
    ASSERT_EQ(ParseMidi(SmfBytes(0, 0xE728, {t}), song), SmfError::None);
    EXPECT_EQ(song.lengthMs, 1500);
    SmfFile rewritten;
    ASSERT_EQ(ParseMidi(song.synthBytes, rewritten), SmfError::None);
    EXPECT_EQ(rewritten.division, 25 * 40);
    EXPECT_EQ(rewritten.lengthMs, 1500);
    // Drop-frame: 29.97 frames of 10 ticks.
    ASSERT_EQ(ParseMidi(SmfBytes(0, 0xE30A, {OneNote(2997)}), song), SmfError::None);
    EXPECT_EQ(song.lengthMs, 10000);
    ASSERT_EQ(ParseMidi(song.synthBytes, rewritten), SmfError::None);
    EXPECT_EQ(rewritten.lengthMs, 10000);
}

TEST(SmfFile, DamagedFilesAreRefusedWithTheirReason)
{
    const std::string good = SmfBytes(0, 96, {OneNote(96)});
    auto with = [&](std::size_t at, const std::string& bytes) {
        return std::string(good).replace(at, bytes.size(), bytes);
    };
    auto track = [](const std::string& events) { return SmfBytes(0, 96, {MidiTrack().raw(events)}); };

    EXPECT_EQ(Parse(""), SmfError::NotMidi);
    EXPECT_EQ(Parse("MThd"), SmfError::NotMidi);
    EXPECT_EQ(Parse(with(0, "MThD")), SmfError::NotMidi);
    EXPECT_EQ(Parse(with(4, std::string("\0\0\0\5", 4))), SmfError::BadHeader);
    EXPECT_EQ(Parse(with(4, std::string("\xFF\xFF\xFF\xFF", 4))), SmfError::BadHeader);
    EXPECT_EQ(Parse(good.substr(0, 13)), SmfError::BadHeader);
    EXPECT_EQ(Parse(with(8, std::string("\0\3", 2))), SmfError::BadHeader);
    EXPECT_EQ(Parse(with(12, std::string("\0\0", 2))), SmfError::BadDivision);
    EXPECT_EQ(Parse(with(12, std::string("\xE9\x28", 2))), SmfError::BadDivision); // 23 frames per second
    EXPECT_EQ(Parse(with(12, std::string("\xE7\x00", 2))), SmfError::BadDivision); // no ticks per frame
    EXPECT_EQ(Parse(with(10, std::string("\0\0", 2))), SmfError::NoTracks);
    EXPECT_EQ(Parse(with(14, "MTrx")), SmfError::NoTracks);
    EXPECT_EQ(Parse(good.substr(0, 14)), SmfError::NoTracks);

    EXPECT_EQ(Parse(track(std::string("\0\x3C\x64", 3))), SmfError::BadEvent) << "data without a status";
    EXPECT_EQ(Parse(track(std::string("\0\x90\x3C\x64\0\xF4", 6))), SmfError::BadEvent) << "undefined status";
    EXPECT_EQ(Parse(track(std::string("\0\x90\x3C\xE4", 4))), SmfError::BadEvent) << "status as data";
    EXPECT_EQ(Parse(track(std::string("\0\x90\x3C\x64\x81\x81\x81\x81\x01\x80\x3C\0", 12))), SmfError::BadEvent)
        << "a five-byte delta";
    EXPECT_EQ(Parse(track(std::string("\0\x90\x3C\x64\0\xFF\x01\x81\x81\x81\x81\x01", 12))), SmfError::BadEvent)
        << "a five-byte length";

    MidiTrack endless;
    endless.noteOn(0, 0, 60, 100);
    for (int i = 0; i < 9; ++i)
        endless.noteOff(0x0FFFFFFF, 0, 60);
    EXPECT_EQ(Parse(SmfBytes(0, 96, {endless})), SmfError::TooLong) << "more ticks than an int holds";
    MidiTrack slow;
    slow.tempo(0, 0xFFFFFF).noteOn(0, 0, 60, 100).noteOff(0x0FFFFFFF, 0, 60);
    EXPECT_EQ(Parse(SmfBytes(0, 1, {slow})), SmfError::TooLong) << "longer than an int of milliseconds";

    MidiTrack quiet;
    quiet.noteOn(0, 0, 60, 0).noteOff(96, 0, 60).endOfTrack(0);
    EXPECT_EQ(Parse(SmfBytes(0, 96, {quiet})), SmfError::Silent) << "a note on of velocity 0 is a note off";
    MidiTrack instant;
    instant.noteOn(0, 0, 60, 100).noteOff(0, 0, 60).endOfTrack(0);
    EXPECT_EQ(Parse(SmfBytes(0, 96, {instant})), SmfError::Silent);

    std::string huge = good;
    huge.resize(kMaxMidiFileBytes + 1);
    EXPECT_EQ(Parse(huge), SmfError::TooLarge);
    huge.resize(kMaxMidiFileBytes);
    EXPECT_EQ(Parse(huge), SmfError::None);
}

// Builds standard MIDI files event by event, and the wrappers around them
// (RIFF RMID), for the MIDI plug-in's tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// One track's events; every event takes its delta time in ticks.
class MidiTrack {
  public:
    MidiTrack& noteOn(uint32_t delta, unsigned channel, unsigned key, unsigned velocity);
    MidiTrack& noteOff(uint32_t delta, unsigned channel, unsigned key);
    MidiTrack& program(uint32_t delta, unsigned channel, unsigned program);
    MidiTrack& tempo(uint32_t delta, uint32_t usPerQuarter);
    MidiTrack& meta(uint32_t delta, unsigned type, const std::string& data);
    MidiTrack& trackName(uint32_t delta, const std::string& name) { return meta(delta, 0x03, name); }
    MidiTrack& text(uint32_t delta, const std::string& text) { return meta(delta, 0x01, text); }
    MidiTrack& endOfTrack(uint32_t delta);
    MidiTrack& raw(const std::string& bytes); // anything, as given
    MidiTrack& delta(uint32_t ticks);         // a delta time alone (before raw bytes)

    const std::string& events() const { return events_; }
    std::string chunk() const; // "MTrk", the size, the events

  private:
    std::string events_;
};

// Header chunk and tracks; ntrks is the number of tracks unless given.
std::string SmfBytes(unsigned format, unsigned division, const std::vector<MidiTrack>& tracks, int ntrks = -1);
// A RIFF RMID file carrying smf in its 'data' chunk, after an INFO list.
std::string RmidBytes(const std::string& smf);

// A song the tests know by heart: one note of key (A4 = 69, 440 Hz) on a
// square-wave lead, held from tick 0 to tick 1920 at 480 ticks per quarter;
// 120 beats per minute for the first 960 ticks, then 240: 1000 + 500 ms.
// Track 0 is named title (none when empty).
struct KnownSong {
    static constexpr int kLengthMs = 1500;
    static constexpr int kKey = 69;
    static double Hz(int key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }
};
std::string KnownSongBytes(const std::string& title, int key = KnownSong::kKey);
// The same tempo map with notes 240 ticks apart: key for the first 1000 ms,
// then key + 7 (a fifth up) for the last 500 ms, so a seek lands on a known
// pitch at once.
std::string SteppedSongBytes(int key = KnownSong::kKey);
// The same song as a karaoke file: the title as an "@T" text, lyrics beside it.
std::string KnownKaraokeBytes(const std::string& title);

} // namespace testsupport

// Standard MIDI files (and the RIFF 'RMID' wrapper around one): validation,
// the tempo map, the length, the title, and a clean copy for the synthesizer.
//
// Every size and count in the file is hostile. The synthesizer never sees the
// file's own bytes: it gets a rewritten file with explicit status bytes, only
// the meta events it understands, checked lengths and one End of Track per
// track, so what it plays is exactly what was measured here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace midi {

// Why a file is refused.
enum class SmfError {
    None,
    Unreadable,  // the file cannot be read
    TooLarge,    // more bytes than any MIDI file needs
    NotMidi,     // neither MThd nor RIFF RMID with a data chunk
    BadHeader,   // header chunk shorter than 6 bytes, or format above 2
    BadDivision, // zero ticks, or an SMPTE rate that does not exist
    NoTracks,    // no MTrk chunk
    BadEvent,    // undefined status, data byte without running status, or an over-long number
    TooLong,     // more ticks than the synthesizer counts
    Silent,      // nothing happens before the end
};
const char* SmfErrorText(SmfError error);

constexpr std::size_t kMaxMidiFileBytes = 32u << 20;

// Tick to time and back, from the tempo events of every track.
class TempoMap {
  public:
    // division: the header's word; tempo changes at ticks (in microseconds per quarter note).
    void reset(uint16_t division);
    void add(uint64_t tick, uint32_t usPerQuarter);
    void finish(); // sorts the changes; call once after the last add

    double msAt(uint64_t tick) const;
    uint64_t tickAt(double ms) const;

  private:
    struct Change {
        uint64_t tick;
        uint32_t usPerQuarter;
    };
    double msPerTick(uint32_t usPerQuarter) const;

    uint16_t division_ = 96;
    double smpteMsPerTick_ = 0; // non-zero: the SMPTE division, where tempo events do not count
    std::vector<Change> changes_;
};

struct SmfFile {
    uint16_t format = 0;
    uint16_t division = 0;
    int trackCount = 0;
    uint64_t endTick = 0; // the latest End of Track
    int32_t lengthMs = 0; // time of endTick
    int noteCount = 0;
    std::string title; // raw bytes of the karaoke title or the first track name; may be empty
    TempoMap tempo;
    std::string synthBytes; // the rewritten file for the synthesizer
};

// Parses a MID, KAR or RMI file held in memory.
SmfError ParseMidi(std::string_view bytes, SmfFile& out);

// The SMF inside a RIFF RMID file ('data' chunk); the bytes themselves when
// they are not RIFF. Empty for a RIFF file of another form or without data.
std::string_view UnwrapRmid(std::string_view bytes);

} // namespace midi

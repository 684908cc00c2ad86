// Sound from MIDI: one synthesizer per SoundFont, kept between songs (loading
// a SoundFont takes a while), and one song player per stream.
#pragma once

#include "FluidLibrary.h"
#include "SmfFile.h"

#include <cstdint>
#include <memory>
#include <string>

namespace midi {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kBits = 16;
// After the song's end, notes and reverb may ring for at most this long.
constexpr int kMaxTailMs = 2000;

class Synth {
  public:
    // Null with why when the library or the SoundFont cannot be loaded.
    static std::shared_ptr<Synth> Create(const std::string& soundFont, std::string* why);
    ~Synth();
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    const std::string& soundFont() const { return soundFont_; }
    const FluidFunctions& fluid() const { return fluid_; }
    fluid_synth_t* handle() const { return synth_; }

  private:
    Synth(const FluidFunctions& fluid, std::string soundFont) : fluid_(fluid), soundFont_(std::move(soundFont)) {}

    const FluidFunctions& fluid_;
    std::string soundFont_;
    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
};

// Plays one song on a synthesizer that nothing else uses meanwhile.
class SongPlayer {
  public:
    SongPlayer(std::shared_ptr<Synth> synth, const SmfFile& song);
    ~SongPlayer();
    SongPlayer(const SongPlayer&) = delete;
    SongPlayer& operator=(const SongPlayer&) = delete;

    bool start(); // false when the synthesizer refuses the song

    // Renders up to frames stereo frames; 0 once the song and its tail are over
    // (the song's end is its length from the tempo map, not the player's).
    int render(int16_t* interleaved, int frames);
    // Continues from ms (clamped to the song); false when the synthesizer refuses.
    bool seek(int32_t ms);

  private:
    bool restart(uint64_t tick);
    void stopPlayer();

    std::shared_ptr<Synth> synth_;
    std::string bytes_; // the player reads them when it starts
    TempoMap tempo_;
    uint64_t endTick_;
    int32_t lengthMs_;
    fluid_player_t* player_ = nullptr;
    int64_t framesPlayed_ = 0; // song time rendered, from the start or the last seek's target
};

// True when the file starts as a SoundFont (RIFF 'sfbk').
bool IsSoundFontFile(const std::string& path);

} // namespace midi

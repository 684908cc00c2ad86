// The equalizer presets file, Equalizer/eqpresets.ini in the data folder:
// section "EqPresets" key "Count", then sections "Preset1" .. "PresetN" with
// "Name" and "EQ1" .. "EQ10" (band positions 0..30, 15 is 0 dB). Presets are
// numbered from 1 without gaps. The file is opened for every operation, so it
// may be edited outside the program in between.
#pragma once

#include "platform/profile.h"

#include <array>
#include <string>
#include <vector>

namespace eqpresets {

constexpr int BandCount = 10;
using Positions = std::array<int, BandCount>; // band 1 first
// A band's positions run from 0 (-15 dB) to 30 (+15 dB).
constexpr int MaxPosition = 30;
constexpr int ZeroDbPosition = 15;

struct Preset {
    std::string name;
    Positions positions;
};

// A Count beyond this is a damaged file, not a list anyone keeps.
constexpr int MaxPresets = 1000;

// Equalizer/eqpresets.ini below the data folder (the folder is created when missing).
std::string PresetFilePath();

// The presets a new installation starts with.
const std::vector<Preset>& StartingPresets();

class TPresetFile {
  public:
    explicit TPresetFile(std::string path) : file_(std::move(path)) {}

    const std::string& path() const { return file_.path(); }

    // "Count", clamped to 0..MaxPresets.
    int Count() const;
    // The names of presets 1..Count, "My preset" where a name is missing.
    std::vector<std::string> Names() const;
    // The positions of preset k (from 1); a missing key reads 0, a value
    // outside 0..30 is pulled into that range.
    Positions Read(int k) const;
    // Overwrites the preset of exactly this name, or appends one; returns its number.
    int Save(const std::string& name, const Positions& positions) const;
    // Removes preset k (from 1) of count; later presets move down by one.
    void Delete(int k, int count) const;
    // Writes the starting presets when the file does not exist yet; true when written.
    bool WriteStartingPresetsIfMissing() const;

  private:
    void write(int k, const std::string& name, const Positions& positions) const;

    platform::ProfileFile file_;
};

} // namespace eqpresets

#include "EqPresets.h"

#include "platform/folders.h"

#include <algorithm>
#include <sys/stat.h>

namespace eqpresets {
namespace {

const std::string CountSection = "EqPresets";

std::string section(int k)
{
    return "Preset" + std::to_string(k);
}

std::string bandKey(int band)
{
    return "EQ" + std::to_string(band);
}

bool fileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Gains in dB (-15..+15) to positions.
Preset fromGains(const char* name, std::array<int, BandCount> gains)
{
    Preset preset{name, {}};
    for (int n = 0; n < BandCount; ++n)
        preset.positions[n] = gains[n] + ZeroDbPosition;
    return preset;
}

} // namespace

std::string PresetFilePath()
{
    const std::string folder = platform::DataFolder() + "Equalizer/";
    platform::EnsureFolder(folder);
    return folder + "eqpresets.ini";
}

const std::vector<Preset>& StartingPresets()
{
    //                                   31   62  125  250  500   1k   2k   4k   8k  16k Hz
    static const std::vector<Preset> presets = {
        fromGains("Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}),
        fromGains("Rock", {5, 4, 3, 1, -1, -1, 1, 3, 4, 5}),
        fromGains("Pop", {-1, 1, 3, 4, 4, 3, 1, 0, -1, -1}),
        fromGains("Jazz", {3, 2, 1, 2, -1, -1, 0, 1, 2, 3}),
        fromGains("Classical", {0, 0, 0, 0, 0, 0, -2, -3, -3, -5}),
        fromGains("Bass Boost", {9, 7, 5, 3, 1, 0, 0, 0, 0, 0}),
        fromGains("Treble Boost", {0, 0, 0, 0, 0, 1, 3, 5, 7, 9}),
        fromGains("Vocal", {-3, -2, -1, 2, 5, 5, 3, 1, -1, -2}),
        fromGains("Loudness", {6, 4, 1, 0, -1, -1, 0, 1, 4, 6}),
        fromGains("Soft", {2, 1, 0, -1, -1, 0, 1, 2, 3, 4}),
    };
    return presets;
}

int TPresetFile::Count() const
{
    return std::clamp(file_.readInt(CountSection, "Count", 0), 0, MaxPresets);
}

std::vector<std::string> TPresetFile::Names() const
{
    std::vector<std::string> names;
    const int count = Count();
    names.reserve(count);
    for (int k = 1; k <= count; ++k)
        names.push_back(file_.readString(section(k), "Name", "My preset"));
    return names;
}

Positions TPresetFile::Read(int k) const
{
    Positions positions{};
    for (int band = 1; band <= BandCount; ++band)
        positions[band - 1] = std::clamp(file_.readInt(section(k), bandKey(band), 0), 0, MaxPosition);
    return positions;
}

void TPresetFile::write(int k, const std::string& name, const Positions& positions) const
{
    std::vector<std::pair<std::string, std::string>> keys{{"Name", name}};
    for (int band = 1; band <= BandCount; ++band)
        keys.emplace_back(bandKey(band), std::to_string(positions[band - 1]));
    file_.writeStrings(section(k), keys);
}

int TPresetFile::Save(const std::string& name, const Positions& positions) const
{
    const std::vector<std::string> names = Names();
    const auto same = std::find(names.begin(), names.end(), name);
    const int k = static_cast<int>(same - names.begin()) + 1;
    write(k, name, positions);
    if (same == names.end())
        file_.writeInt(CountSection, "Count", k);
    return k;
}

void TPresetFile::Delete(int k, int count) const
{
    if (k < 1 || k > count)
        return;
    for (int j = k + 1; j <= count; ++j)
        write(j - 1, file_.readString(section(j), "Name", "my preset"), Read(j));
    file_.eraseSection(section(count));
    file_.writeInt(CountSection, "Count", count - 1);
}

bool TPresetFile::WriteStartingPresetsIfMissing() const
{
    if (fileExists(path()))
        return false;
    for (const Preset& preset : StartingPresets())
        Save(preset.name, preset.positions);
    return true;
}

} // namespace eqpresets

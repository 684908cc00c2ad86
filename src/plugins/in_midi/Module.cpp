// The module record, start and end of the plug-in, the SoundFont in use, the
// boxes and the information queries.

#include "Module.h"

#include "ConfigDialog.h"
#include "Playback.h"
#include "Renderer.h"
#include "Settings.h"

#include "platform/msgbox.h"
#include "platform/text.h"
#include "plugins/common/InModule.h"

#include <cstdio>
#include <cstring>
#include <fstream>

namespace midi {

const char* const kNoSoundFontText =
    "No SoundFont found: MIDI files are not played.\n"
    "Install the package timgm6mb-soundfont or fluid-soundfont-gm, or choose a SoundFont file in the settings.";

namespace {

char description[] = "Orvella MIDI Synthesizer v1.0";
constexpr char kExtensions[] = "MID;MIDI;KAR;RMI\0MIDI files (MID,MIDI,KAR,RMI)\0";
// Both lists end with an empty text; with no SoundFont nothing is claimed.
char extension_list[sizeof kExtensions + 1];

std::string settingsOverride;
std::string settingsPath;
std::string soundFont;

void find_and_offer()
{
    soundFont = find_soundfont();
    std::memset(extension_list, 0, sizeof extension_list);
    if (!soundFont.empty())
        std::memcpy(extension_list, kExtensions, sizeof kExtensions);
}

void Config(HWND parent)
{
    plugin::RunModal<ConfigDialog>(parent);
}

void About(HWND parent)
{
    std::string text = std::string(kDescription) + "\nMIDI files played by FluidSynth with a General MIDI SoundFont.\n";
    text += soundFont.empty() ? kNoSoundFontText : "SoundFont: " + soundFont;
    MessageBox(parent, text.c_str(), "About", MB_ICONINFORMATION);
}

void Init()
{
    settingsPath = settingsOverride.empty() ? settings_file() : settingsOverride;
    read_settings(settingsPath);
    find_and_offer();
}

void Quit()
{
    Stop(); // a host that forgets to stop must not leave the thread running in unloaded code
    playback().endLeftThreads();
    release_synth();
}

// The file's name without folder and extension.
std::string name_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The song playing, or the file read again.
bool find_song(const char* file, const std::string& path, SmfFile& song)
{
    if (const SmfFile* playing = open_stream().find(file)) {
        song = *playing;
        return true;
    }
    return LoadMidiFile(path, song) == SmfError::None;
}

void GetFileInfo(const char* file, char* title, int* length)
{
    const std::string path = open_stream().path(file);
    SmfFile song;
    const bool known = find_song(file, path, song);
    if (title)
        plugin::CopyTitle(known && !song.title.empty() ? platform::DisplayUtf8(song.title) : name_of(path), title);
    if (length)
        *length = known && !soundFont.empty() ? song.lengthMs : 0;
}

int InfoBox(const char* file, HWND parent)
{
    const std::string path = open_stream().path(file);
    SmfFile song;
    if (!find_song(file, path, song))
        return 1;
    char text[512];
    std::snprintf(
        text, sizeof text, "File: \"%s\"\nStandard MIDI file, format %d, %d track(s), %d notes\nLength: %d:%02d\n%s%s",
        path.c_str(), song.format, song.trackCount, song.noteCount, song.lengthMs / 60000, song.lengthMs / 1000 % 60,
        soundFont.empty() ? "" : "SoundFont: ", soundFont.empty() ? kNoSoundFontText : soundFont.c_str());
    MessageBox(parent, text, "File info", MB_OK);
    return 0;
}

int IsOurFile(const char* file)
{
    SmfFile song;
    return !soundFont.empty() && file && LoadMidiFile(file, song) == SmfError::None ? 1 : 0;
}

constinit TInModule module = plugin::MakeInModule<playback>(
    {description, extension_list, Config, About, Init, Quit, GetFileInfo, InfoBox, IsOurFile, Play, Stop, GetLength});

} // namespace

TInModule& plugin_module()
{
    return module;
}

const std::string& current_soundfont()
{
    return soundFont;
}

void choose_soundfont(const std::string& path)
{
    cfg_soundfont = path;
    write_settings(settingsPath.empty() ? settings_file() : settingsPath);
    find_and_offer();
    release_synth(); // the next song loads the new SoundFont
}

SmfError LoadMidiFile(const std::string& path, SmfFile& out)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return SmfError::Unreadable;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return SmfError::Unreadable;
    if (uint64_t(size) > kMaxMidiFileBytes)
        return SmfError::TooLarge;
    std::string bytes(std::size_t(size), '\0');
    in.seekg(0);
    in.read(bytes.data(), size);
    bytes.resize(std::size_t(in.gcount()));
    return ParseMidi(bytes, out);
}

void override_settings_file(const std::string& path)
{
    settingsOverride = path;
}

} // namespace midi

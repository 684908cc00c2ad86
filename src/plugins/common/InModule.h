// The input-module record as every plug-in here fills it: the plug-in's own
// entries, the transport entries of its StreamPlayback, and the host's
// entries left empty for the host to fill.
#pragma once

#include "StreamPlayback.h"

#include "player/plugin_api.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace plugin {

// What differs between the plug-ins.
struct InModuleEntries {
    char* description;
    char* fileExtensions;
    void (*config)(HWND parent);
    void (*about)(HWND parent);
    void (*init)();
    void (*quit)();
    void (*getFileInfo)(const char* file, char* title, int* lengthMs);
    int (*infoBox)(const char* file, HWND parent);
    int (*isOurFile)(const char* file); // null: 0, the host goes by the extension list
    int (*play)(const char* file);
    void (*stop)();
    int (*getLength)();
};

// The record of a seekable plug-in that plays through the host's output
// module and ignores the equalizer.
template <StreamPlayback& (*playback)()> constexpr TInModule MakeInModule(const InModuleEntries& own)
{
    TInModule m{};
    m.Version = IN_MODULE_VERSION;
    m.Description = own.description;
    m.FileExtensions = own.fileExtensions;
    m.IsSeekable = 1;
    m.UsesOutputModule = 1;
    m.Config = own.config;
    m.About = own.about;
    m.Init = own.init;
    m.Quit = own.quit;
    m.GetFileInfo = own.getFileInfo;
    m.InfoBox = own.infoBox;
    m.IsOurFile = own.isOurFile ? own.isOurFile : [](const char*) { return 0; };
    m.Play = own.play;
    m.Pause = [] { playback().pause(true); };
    m.UnPause = [] { playback().pause(false); };
    m.IsPaused = [] { return playback().paused() ? 1 : 0; };
    m.Stop = own.stop;
    m.GetLength = own.getLength;
    m.GetOutputTime = [] { return playback().outputTime(); };
    m.SetOutputTime = [](int ms) { playback().seek(ms); };
    m.SetVolume = [](int volume) { playback().setVolume(volume); };
    m.SetPan = [](int pan) { playback().setPan(pan); };
    m.EQSet = [](int, char*, int) {};
    return m;
}

// Writes text as GetFileInfo's title: at most 255 bytes and a NUL, the host's
// buffer, never half a UTF-8 sequence.
inline void CopyTitle(const std::string& text, char* title)
{
    constexpr std::size_t kTitleBytes = 255;
    std::size_t n = std::min(text.size(), kTitleBytes);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(title, text.data(), n);
    title[n] = '\0';
}

} // namespace plugin

// The input plug-in host: up to eight plug-ins loaded from Plugins/ below the
// program folder, and the current one, whose output the output emulator plays.
// Process-wide; every call on the user-interface thread.
#pragma once

#include "player/plugin_api.h"

#include <string>

namespace player {

constexpr int kPluginSlots = 8;

struct TPluginInfo {
    std::string FileName; // as passed to LoadPlugin, e.g. "in_pcmkit.so"
    int Version = 0;
    std::string Description;
    std::string FileExtensions; // every extension text of the module's list, e.g. "WAV;VOC;AU;SND"
    int IsSeekable = 0;
    HMODULE Library = nullptr;
};

// Result codes of LoadPlugin and UnloadPlugin.
enum PluginResult {
    plLoaded = 0,
    plNotReady = 1,
    plAlreadyLoaded = 2,
    plNoSlot = 3,
    plLoadFailed = 4,
    plNotAPlugin = 5,
    plUnloaded = 0,
    plFreeFailed = 6,
    plNotLoaded = 7,
    plInUse = 8,
};

// Allocates the output ring and starts the output module; false (host not
// ready) when the ring cannot be had.
bool StartPluginHost();
// Every plug-in gets Quit and is unloaded; then the output module's Quit.
void ShutdownPluginHost();
bool PluginHostReady();

int LoadPlugin(const std::string& fileName);
int UnloadPlugin(const std::string& fileName);
int FindPlugin(const std::string& fileName); // slot, or -1 (names compare exactly)
TInModule* GetPluginModule(int slot);        // null for an empty slot or a number outside 0..7
TPluginInfo GetPluginInfo(int slot);         // an empty record then
bool PluginPlayable(int slot);               // loaded and usable for playback
int SelectPlugin(int slot);                  // 0 and current, or -1
int CurrentPlugin();                         // slot or -1
void ClearCurrentPlugin();                   // CLEAR_CURRENT_PLUGIN
// The slot whose plug-in the player runs (a channel alive), or -1. It is never
// unloaded, whatever CLEAR_CURRENT_PLUGIN said: the player still calls into it.
void SetPluginInUse(int slot);
std::string GetPluginFileExts();                           // "*.WAV;*.VOC;*.MP3;" for open dialogs
std::string ConvertExtensionList(const std::string& list); // "WAV;VOC" -> "*.WAV;*.VOC"

} // namespace player

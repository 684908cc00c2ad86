// confstate.ini: every section and key of the program's settings, with their
// defaults, and the order in which they are read at start-up and written at
// shut-down. The windows only map their controls to Setting values; reading a
// value applies it through SettingsTarget::apply, so the control's own change
// handler runs.
#pragma once

#include "platform/profile.h"

#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace appconfig {

enum class Setting {
    LoadedPlugin, // index: slot 0 to 7 (a string)
    PluginFirst,
    MainWidth,
    MainHeight,
    MainLeft,
    MainTop,
    PlaylistVis, // restore: the playlist window is made visible; save: 1 when showing
    PlaylistWidth,
    PlaylistHeight,
    PlaylistLeft,
    PlaylistTop,
    EqualizerVis, // restore: the equalizer window is shown; save: 1 when showing
    EqualizerWidth,
    EqualizerHeight,
    EqualizerLeft,
    EqualizerTop,
    FileType,  // index: item 0 to 19 of the preferences file-type list
    Equalizer, // index: band 1 to 10
    UseEqualizer,
    FlangerBox,
    EchoBox,
    ReverbBox,
    ReverbLevel, // the reverb level slider
    EchoLevel,   // the echo level slider
    ShuffleAndGo,
    SmoothShuffle,
    MorphRate,
    Volume,
    TitleFormat,
    Numbering,
    Repeat,         // the main window's "Repeat" check box
    FilesFolder,    // "Dialogs": open-files dialog (a string)
    PlaylistFolder, // "Dialogs": open-playlist dialog (a string)

    // Applied during the restore but never stored under keys of their own.
    FlangerEffect, // set or clear effect flag 1 in the player
    EchoEffect,    // flag 4
    ReverbEffect,  // flag 8
    PlayerReverbLevel,
    PlayerEchoLevel,
};

enum class ValueType { Integer, Boolean, String };

struct KeySpec {
    Setting setting;
    int index; // slot, band or item number; 0 where there is only one
    const char* section;
    std::string key;
    ValueType type;
    // Absent: the control's value at the time of reading.
    std::optional<int> defaultValue;
    // Written at shut-down only when the player's effects are available.
    bool effectsOnly = false;
};

// Every key, in the order they are written at shut-down ("Dialogs" last, which
// shut-down does not write).
const std::vector<KeySpec>& Keys();
// The key of a setting; throws std::out_of_range for a setting without one.
const KeySpec& Key(Setting setting, int index = 0);

// What the restore sets and the save reads: the windows' controls.
class SettingsTarget {
  public:
    virtual ~SettingsTarget() = default;
    // The control's value now (checked = 1).
    virtual int current(Setting setting, int index) const = 0;
    // Sets the control through its ordinary setter.
    virtual void apply(Setting setting, int index, int value) = 0;
    // The file name of the plug-in in a slot, empty for a free slot.
    virtual std::string pluginFileName(int slot) const = 0;
    // The player's DX8EffectReady.
    virtual bool effectsReady() const = 0;
    // The plug-in host runs. Without it nothing could be loaded, and writing the
    // empty slots would lose the saved list (or end a fresh install's default).
    virtual bool pluginsReady() const = 0;
    // Without effects, their check boxes and level sliders are disabled.
    virtual void disableEffectControls() = 0;
};

// confstate.ini in the data folder.
std::string ConfigPath();

// Read at the main window's creation.
std::array<std::string, 8> ReadLoadedPlugins(const platform::ProfileFile& file);
// The plug-ins to load at start: the saved list, or on a fresh install (no
// "Loaded Plugins" section at all, not even an empty one) every in_*.so in the
// program's Plugins/ folder, in name order. Once the section is saved the
// user's choice rules, unloads included.
std::vector<std::string> PluginsToLoad(const platform::ProfileFile& file);
// The input plug-ins installed in the program's Plugins/ folder (in_*.so), in
// name order.
QStringList InstalledPluginFiles();
bool ReadPluginFirst(const platform::ProfileFile& file, bool current);

// The main window's place and size, also given before it first shows.
void RestoreMainWindowGeometry(const platform::ProfileFile& file, SettingsTarget& target);

// Restore at the main window's first showing: everything but the plug-ins
// and "Dialogs", in the program's order.
void RestoreAtShow(const platform::ProfileFile& file, SettingsTarget& target);

// Save at close: plug-ins (unless the host is not running), "Plugin First", then
// savePlaylist(), then the other sections. Returns false when a write failed
// (the rest is still written).
bool SaveAtClose(const platform::ProfileFile& file, const SettingsTarget& target,
                 const std::function<void()>& savePlaylist);

// "Dialogs": initial folders of the open-files and open-playlist dialogs; the
// user's home folder until one was remembered.
std::string DefaultDialogFolder();
std::string ReadFilesFolder(const platform::ProfileFile& file);
std::string ReadPlaylistFolder(const platform::ProfileFile& file);
// savedpath: the folder of the first chosen file, with its trailing "/".
bool WriteFilesFolder(const platform::ProfileFile& file, const std::string& firstChosenFile);

} // namespace appconfig

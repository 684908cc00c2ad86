#include "Config.h"

#include "platform/folders.h"

#include <QDir>

#include <stdexcept>
#include <utility>

namespace appconfig {
namespace {

constexpr const char* LoadedPlugins = "Loaded Plugins";
constexpr const char* PluginFirstSection = "Plugin First";
constexpr const char* SoundBox = "Sound Box";
constexpr const char* PlaylistSection = "Playlist";
constexpr const char* General = "General";
constexpr const char* FormState = "Form State";
constexpr const char* Associations = "Associations";
constexpr const char* Dialogs = "Dialogs";

constexpr auto Int = ValueType::Integer;
constexpr auto Bool = ValueType::Boolean;
constexpr auto Str = ValueType::String;
constexpr std::optional<int> Current = std::nullopt;

std::vector<KeySpec> buildKeys()
{
    std::vector<KeySpec> keys;
    for (int slot = 0; slot < 8; ++slot)
        keys.push_back({Setting::LoadedPlugin, slot, LoadedPlugins, "Plugin" + std::to_string(slot), Str, Current});
    keys.push_back({Setting::PluginFirst, 0, PluginFirstSection, "yeah", Bool, Current});

    for (int band = 1; band <= 10; ++band)
        keys.push_back({Setting::Equalizer, band, SoundBox, "equalizer" + std::to_string(band), Int, Current});
    keys.push_back({Setting::UseEqualizer, 0, SoundBox, "useequalizer", Bool, Current});
    keys.push_back({Setting::FlangerBox, 0, SoundBox, "flanger", Bool, Current, true});
    keys.push_back({Setting::EchoBox, 0, SoundBox, "echo", Bool, Current, true});
    keys.push_back({Setting::ReverbBox, 0, SoundBox, "reverb", Bool, Current, true});
    keys.push_back({Setting::EchoLevel, 0, SoundBox, "echolevel", Int, Current, true});
    keys.push_back({Setting::ReverbLevel, 0, SoundBox, "reverblevel", Int, Current, true});

    keys.push_back({Setting::ShuffleAndGo, 0, PlaylistSection, "shuffgo", Bool, 0});
    keys.push_back({Setting::SmoothShuffle, 0, PlaylistSection, "smoothshuff", Bool, 1});
    keys.push_back({Setting::MorphRate, 0, PlaylistSection, "morphrate", Int, 70});

    keys.push_back({Setting::Volume, 0, General, "volume", Int, Current});
    keys.push_back({Setting::TitleFormat, 0, General, "playparseind", Int, 0});
    keys.push_back({Setting::Numbering, 0, General, "numplay", Bool, Current});
    keys.push_back({Setting::Repeat, 0, General, "repeat", Bool, 0});

    const std::pair<Setting, std::pair<const char*, int>> form[] = {
        {Setting::MainWidth, {"mainwidth", 330}},
        {Setting::MainHeight, {"mainheight", 177}},
        {Setting::MainLeft, {"mainleft", 97}},
        {Setting::MainTop, {"maintop", 125}},
        {Setting::PlaylistVis, {"PlaylistVis", 1}},
        {Setting::PlaylistWidth, {"Playlistwidth", 300}},
        {Setting::PlaylistHeight, {"Playlistheight", 322}},
        {Setting::PlaylistLeft, {"Playlistleft", 427}},
        {Setting::PlaylistTop, {"Playlisttop", 427}},
        {Setting::EqualizerVis, {"EqualizerVis", 1}},
        {Setting::EqualizerWidth, {"Equalizerwidth", 330}},
        {Setting::EqualizerHeight, {"Equalizerheight", 145}},
        {Setting::EqualizerLeft, {"Equalizerleft", 97}},
        {Setting::EqualizerTop, {"Equalizertop", 302}},
    };
    for (const auto& [setting, keyAndDefault] : form)
        keys.push_back({setting, 0, FormState, keyAndDefault.first, Int, keyAndDefault.second});

    for (int item = 0; item < 20; ++item)
        keys.push_back({Setting::FileType, item, Associations, "filetype " + std::to_string(item), Bool, 0});

    // The "Dialogs" defaults are strings; see DefaultDialogFolder.
    keys.push_back({Setting::FilesFolder, 0, Dialogs, "files", Str, Current});
    keys.push_back({Setting::PlaylistFolder, 0, Dialogs, "plylist", Str, Current});
    return keys;
}

// Reads a key; the default is the key's own, or the current value of `defaultFrom`.
int read(const platform::ProfileFile& file, const SettingsTarget& target, Setting setting, int index,
         Setting defaultFrom, int defaultIndex)
{
    const KeySpec& spec = Key(setting, index);
    const int def = spec.defaultValue ? *spec.defaultValue : target.current(defaultFrom, defaultIndex);
    return spec.type == ValueType::Boolean ? int(file.readBool(spec.section, spec.key, def != 0))
                                           : file.readInt(spec.section, spec.key, def);
}

int read(const platform::ProfileFile& file, const SettingsTarget& target, Setting setting, int index = 0)
{
    return read(file, target, setting, index, setting, index);
}

void restore(const platform::ProfileFile& file, SettingsTarget& target, Setting setting, int index = 0)
{
    target.apply(setting, index, read(file, target, setting, index));
}

} // namespace

const std::vector<KeySpec>& Keys()
{
    static const std::vector<KeySpec> keys = buildKeys();
    return keys;
}

const KeySpec& Key(Setting setting, int index)
{
    for (const KeySpec& spec : Keys())
        if (spec.setting == setting && spec.index == index)
            return spec;
    throw std::out_of_range("no configuration key for this setting");
}

std::string ConfigPath()
{
    return platform::DataFolder() + "confstate.ini";
}

std::array<std::string, 8> ReadLoadedPlugins(const platform::ProfileFile& file)
{
    std::array<std::string, 8> names;
    for (int slot = 0; slot < 8; ++slot) {
        const KeySpec& spec = Key(Setting::LoadedPlugin, slot);
        names[slot] = file.readString(spec.section, spec.key, "");
    }
    return names;
}

std::vector<std::string> PluginsToLoad(const platform::ProfileFile& file)
{
    std::vector<std::string> names;
    if (file.sectionExists(LoadedPlugins)) {
        for (std::string& name : ReadLoadedPlugins(file))
            if (!name.empty())
                names.push_back(std::move(name));
        return names;
    }
    for (const QString& name : InstalledPluginFiles())
        names.push_back(name.toStdString());
    return names;
}

QStringList InstalledPluginFiles()
{
    const QDir plugins(QString::fromStdString(platform::ProgramFolder()) + QStringLiteral("Plugins"));
    // Matched by hand: a name filter would compile a regular expression
    // (and map its library) at every start.
    QStringList names = plugins.entryList(QDir::Files, QDir::Name);
    names.removeIf([](const QString& name) {
        return !name.startsWith(QLatin1String("in_"), Qt::CaseInsensitive) ||
               !name.endsWith(QLatin1String(".so"), Qt::CaseInsensitive);
    });
    return names;
}

bool ReadPluginFirst(const platform::ProfileFile& file, bool current)
{
    const KeySpec& spec = Key(Setting::PluginFirst);
    return file.readBool(spec.section, spec.key, current);
}

void RestoreMainWindowGeometry(const platform::ProfileFile& file, SettingsTarget& target)
{
    for (Setting s : {Setting::MainWidth, Setting::MainHeight, Setting::MainLeft, Setting::MainTop})
        restore(file, target, s);
}

void RestoreAtShow(const platform::ProfileFile& file, SettingsTarget& target)
{
    RestoreMainWindowGeometry(file, target);

    // Any value but 1 keeps the window hidden with its design bounds. Its place
    // is given before it shows, so that a window manager frames it there.
    if (read(file, target, Setting::PlaylistVis) == 1) {
        for (Setting s : {Setting::PlaylistWidth, Setting::PlaylistHeight, Setting::PlaylistLeft, Setting::PlaylistTop})
            restore(file, target, s);
        target.apply(Setting::PlaylistVis, 0, 1);
    }
    if (read(file, target, Setting::EqualizerVis) == 1) {
        for (Setting s :
             {Setting::EqualizerWidth, Setting::EqualizerHeight, Setting::EqualizerLeft, Setting::EqualizerTop})
            restore(file, target, s);
        target.apply(Setting::EqualizerVis, 0, 1);
    }

    for (int item = 0; item < 20; ++item)
        restore(file, target, Setting::FileType, item);
    for (int band = 1; band <= 10; ++band)
        restore(file, target, Setting::Equalizer, band);
    // Read even without effects, so a stored value survives such a run.
    restore(file, target, Setting::FlangerBox);
    restore(file, target, Setting::ShuffleAndGo);
    restore(file, target, Setting::SmoothShuffle);
    restore(file, target, Setting::MorphRate);

    if (!target.effectsReady()) {
        target.disableEffectControls();
    } else {
        target.apply(Setting::FlangerEffect, 0, read(file, target, Setting::FlangerBox));
        target.apply(Setting::EchoEffect, 0, read(file, target, Setting::EchoBox));
        target.apply(Setting::ReverbEffect, 0, read(file, target, Setting::ReverbBox));
        restore(file, target, Setting::EchoBox);
        restore(file, target, Setting::ReverbBox);
        // Each level defaults to the other slider's value at that moment.
        const int reverb = read(file, target, Setting::ReverbLevel, 0, Setting::EchoLevel, 0);
        target.apply(Setting::ReverbLevel, 0, reverb);
        target.apply(Setting::PlayerReverbLevel, 0, reverb);
        const int echo = read(file, target, Setting::EchoLevel, 0, Setting::ReverbLevel, 0);
        target.apply(Setting::EchoLevel, 0, echo);
        target.apply(Setting::PlayerEchoLevel, 0, echo);
    }

    restore(file, target, Setting::UseEqualizer);
    restore(file, target, Setting::Volume);
    restore(file, target, Setting::TitleFormat);
    restore(file, target, Setting::Numbering);
    restore(file, target, Setting::Repeat);
}

bool SaveAtClose(const platform::ProfileFile& file, const SettingsTarget& target,
                 const std::function<void()>& savePlaylist)
{
    bool ok = true;
    // Consecutive keys of one section go out in one write.
    const char* section = nullptr;
    std::vector<std::pair<std::string, std::string>> pending;
    auto flush = [&] {
        if (section && !pending.empty())
            ok = file.writeStrings(section, pending) && ok;
        pending.clear();
    };
    bool playlistSaved = false;
    for (const KeySpec& spec : Keys()) {
        if (spec.setting == Setting::FilesFolder || spec.setting == Setting::PlaylistFolder)
            continue;
        if (spec.effectsOnly && !target.effectsReady())
            continue;
        if (spec.setting == Setting::LoadedPlugin && !target.pluginsReady())
            continue;
        if (section && std::string_view(section) != spec.section)
            flush();
        // The playlist goes between "Plugin First" and the other sections.
        if (!playlistSaved && std::string_view(spec.section) == SoundBox) {
            if (savePlaylist)
                savePlaylist();
            playlistSaved = true;
        }
        section = spec.section;
        std::string value;
        if (spec.type == ValueType::String)
            value = target.pluginFileName(spec.index);
        else if (spec.type == ValueType::Boolean)
            value.assign(1, target.current(spec.setting, spec.index) != 0 ? '1' : '0');
        else
            value = std::to_string(target.current(spec.setting, spec.index));
        pending.emplace_back(spec.key, std::move(value));
    }
    flush();
    return ok;
}

std::string DefaultDialogFolder()
{
    const std::string home = QDir::homePath().toStdString();
    return home.ends_with('/') ? home : home + "/";
}

std::string ReadFilesFolder(const platform::ProfileFile& file)
{
    const KeySpec& spec = Key(Setting::FilesFolder);
    return file.readString(spec.section, spec.key, DefaultDialogFolder());
}

std::string ReadPlaylistFolder(const platform::ProfileFile& file)
{
    const KeySpec& spec = Key(Setting::PlaylistFolder);
    return file.readString(spec.section, spec.key, DefaultDialogFolder());
}

bool WriteFilesFolder(const platform::ProfileFile& file, const std::string& firstChosenFile)
{
    const auto slash = firstChosenFile.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : firstChosenFile.substr(0, slash + 1);
    const KeySpec& spec = Key(Setting::FilesFolder);
    return file.writeString(spec.section, spec.key, folder);
}

} // namespace appconfig

// The module record, its static values, start and end of the plug-in, the
// dialogs and the information queries.

#include "Module.h"

#include "ConfigLibrary.h"
#include "Containers.h"
#include "Playback.h"
#include "Settings.h"
#include "Sources.h"

#include "platform/msgbox.h"
#include "plugins/common/InModule.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace pcmkit {
namespace {

thread_local int quietDepth = 0;
char description[] = "Brevik Waveform Decoder v2.05a";
std::string settingsOverride;
std::string settingsPath;

void Config(HWND parent)
{
    show_config_dialog(parent);
}

void About(HWND parent)
{
    std::string text = std::string(kDescription) + "\nWaveform audio for Tovarro-compatible players, by Brevik.";
    MessageBox(parent, text.c_str(), "About", MB_ICONINFORMATION);
}

void Init()
{
    settingsPath = settingsOverride.empty() ? settings_file() : settingsOverride;
    read_settings(settingsPath);
    build_extension_list(extension_list, sizeof extension_list);
    load_network_library();
}

void Quit()
{
    Stop(); // a host that forgets to stop must not leave the thread running in unloaded code
    playback().endLeftThreads();
    unload_network_library();
    write_settings(settingsPath);
}

// The file's name without folder and extension.
std::string title_of(const std::string& path)
{
    std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos)
        slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Opens the file quietly, without filters or codec stream, for its facts.
bool describe_file(const std::string& path, int32_t* lengthMs, decoder_info* info)
{
    abort_flag never{false};
    open_result result;
    decoder* d = open_file(path.c_str(), true, &never, &result);
    if (!d)
        return false;
    if (lengthMs)
        *lengthMs = frames_to_ms(d->ops->length(d), d->format.rate);
    if (info)
        d->ops->info(d, info);
    decoder_destroy(d);
    return true;
}

void GetFileInfo(const char* file, char* title, int* length)
{
    const std::string path = open_stream().path(file);
    if (title) {
        std::snprintf(title, 256, "%s", title_of(path).c_str());
    }
    if (length) {
        int32_t ms = 0;
        if (const StreamFacts* playing = open_stream().find(file))
            ms = playing->lengthMs;
        else if (!describe_file(path, &ms, nullptr))
            ms = 0;
        *length = ms;
    }
}

int InfoBox(const char* file, HWND parent)
{
    const std::string path = open_stream().path(file);
    decoder_info info{};
    if (const StreamFacts* playing = open_stream().find(file))
        info = playing->info;
    else if (!describe_file(path, nullptr, &info))
        return 1;
    if (!info.text[0])
        return 1;
    std::string text = "File: \"" + path + "\"\n" + info.text;
    text.resize(std::min<std::size_t>(text.size(), 511));
    MessageBox(parent, text.c_str(), "File info", MB_OK);
    return 0;
}

constinit TInModule module = plugin::MakeInModule<playback>(
    {description, extension_list, Config, About, Init, Quit, GetFileInfo, InfoBox, nullptr, Play, Stop, GetLength});

} // namespace

TInModule& plugin_module()
{
    return module;
}

QuietBoxes::QuietBoxes()
{
    ++quietDepth;
}

QuietBoxes::~QuietBoxes()
{
    --quietDepth;
}

bool boxes_suppressed()
{
    return quietDepth > 0;
}

void override_settings_file(const std::string& path)
{
    settingsOverride = path;
}

} // namespace pcmkit

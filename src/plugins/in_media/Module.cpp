// The module record, its static values, start and end of the plug-in, the
// dialogs and the information queries.

#include "Module.h"

#include "Extensions.h"
#include "InfoDialog.h"
#include "MediaLibrary.h"
#include "Playback.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"
#include "plugins/common/InModule.h"

#include <string>

namespace media {
namespace {

char description[] = "Orvella Media Decoder v1.0";

void Config(HWND parent)
{
    MessageBox(parent, "This plug-in has no settings.", kDescription, MB_OK | MB_ICONINFORMATION);
}

void About(HWND parent)
{
    const std::string text = std::string(kDescription) +
                             "\nFLAC, Opus, AAC, ALAC, Monkey's Audio, WavPack, Musepack, TrueAudio, TwinVQ, "
                             "Windows Media audio and zipped modules, decoded with FFmpeg and libopenmpt.";
    MessageBox(parent, text.c_str(), "About", MB_ICONINFORMATION);
}

void Init()
{
}

void Quit()
{
    Stop(); // a host that forgets to stop must not leave the thread running in unloaded code
    playback().endLeftThreads();
}

// The file's name without folder and extension.
std::string name_of(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The stream playing, or a quiet look at the file.
bool describe(const char* file, const std::string& path, Description& out)
{
    if (const Description* playing = open_stream().find(file)) {
        out = *playing;
        return true;
    }
    std::string why;
    return DescribeFile(path, out, why);
}

void GetFileInfo(const char* file, char* title, int* length)
{
    const std::string path = open_stream().path(file);
    Description d;
    const bool known = !path.empty() && describe(file, path, d);
    if (title)
        plugin::CopyTitle(display_title(d.tags, name_of(path)), title);
    if (length)
        *length = known && d.properties.lengthMs > 0 ? int(d.properties.lengthMs) : 0;
}

int InfoBox(const char* file, HWND parent)
{
    const std::string path = open_stream().path(file);
    Description d;
    if (path.empty() || !describe(file, path, d))
        return 1;
    InfoDialog dialog(path, d, platform::WindowWidget(parent));
    dialog.exec();
    return 0;
}

constinit TInModule module = plugin::MakeInModule<playback>(
    {description, extension_list, Config, About, Init, Quit, GetFileInfo, InfoBox, nullptr, Play, Stop, GetLength});

} // namespace

std::string display_title(const Tags& tags, const std::string& fallback)
{
    const std::string artist = TagValue(tags, "artist"), title = TagValue(tags, "title");
    if (!title.empty())
        return artist.empty() ? title : artist + " - " + title;
    return artist.empty() ? fallback : artist + " - " + fallback;
}

TInModule& plugin_module()
{
    return module;
}

} // namespace media

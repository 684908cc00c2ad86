// What the title refresh learns about one file: its tag title and artist and
// its duration, from the first reader that recognises it.
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace playlist {

struct TrackTitle {
    QString title;
    QString artist;
    double seconds = 0; // 0 when no reader knows the file
};

// What the loaded plug-in that claims a file says of it: its title (often
// "Artist - Title") and length in ms; nothing when no plug-in claims the file.
struct PluginFileInfo {
    std::string title;
    int lengthMs = 0;
};
using PluginFileInfoSource = std::function<std::optional<PluginFileInfo>(const std::string& path)>;

// Tries the readers in the program's order until one recognises the file:
// MPEG (by its ID3v2, else ID3v1 tag), WMA, Ogg Vorbis (unless its header is
// damaged), Monkey's Audio (by its ID3v1 tag), WAV (the file name as artist),
// TwinVQ. A file none recognises takes title and length from the plug-in
// that claims it. Otherwise it has no title or artist, so it shows its own
// name; its duration is that of the last reader that knew its format (0 for
// none, or when the file cannot be opened).
TrackTitle ReadTrackTitle(const std::string& path, const PluginFileInfoSource& plugins = {});

} // namespace playlist

// What the title refresh learns about one file: its tag title and artist and
// its duration, from the first reader that recognises it.
#pragma once

#include <QString>

#include <string>

namespace playlist {

struct TrackTitle {
    QString title;
    QString artist;
    double seconds = 0; // 0 when no reader knows the file
};

// Tries the readers in the program's order: MPEG (its ID3v2, else ID3v1
// tag), WMA, Ogg Vorbis, Monkey's Audio (its ID3v1 tag), WAV (the file name as
// artist), TwinVQ. A file none recognises, or that cannot be opened, has no
// title, artist or duration.
TrackTitle ReadTrackTitle(const std::string& path);

} // namespace playlist

// What the readers tell of one opened file, all adapted to one summary: the
// readers are tried in the caller's order until one names the file. The
// track display and the playlist's title refresh use different orders and
// each puts its own captions on the result.
#pragma once

#include "ReaderFile.h"

#include <initializer_list>
#include <string>

namespace fileinfo {

enum class Reader {
    None,
    Mpeg,      // plausible: known; named by its own ID3v2 tag, else by its own ID3v1 tag
    Wma,       // recognised: known and named by its tags
    OggVorbis, // recognised: known; named by its comments unless its header is damaged
    Monkey,    // plausible: known; named by its own ID3v1 tag
    // Monkey's Audio, named instead by an APE tag, which names a file of any
    // format; the summary's kind is then Monkey.
    MonkeyOrApeTag,
    Wav,    // recognised: known and named, by the file's own name
    TwinVQ, // recognised: known; named by its title and author unless its header is damaged
};

struct TrackSummary {
    // The last reader that knew the file's format, even if it could not name
    // it; the properties below are its own.
    Reader kind = Reader::None;
    bool damaged = false; // its header is damaged: the properties mean nothing
    double seconds = 0;
    int sampleRate = 0;
    int bitRate = 0;         // kbit/s; Monkey's Audio gives its bits per sample
    std::string channelMode; // the reader's channel mode text

    // A reader named the file: its title and artist, the bytes as stored.
    bool recognised = false;
    bool namedByFile = false; // a format without tags: the file's name stands for the artist
    std::string title;
    std::string artist;

    // The MPEG reader knew the file, whether or not a later reader did too.
    bool mpegPlausible = false;
};

// Tries each reader of `order` on the file until one names it.
TrackSummary ReadTrackSummary(ReaderFile& file, std::initializer_list<Reader> order);

} // namespace fileinfo

#include "ID3v1.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

#include <array>

namespace fileinfo {

namespace {

// 0..79 are the format's own list, 80..147 its common extension, in the old spellings.
constexpr std::array<std::string_view, TID3v1::kGenreCount> kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal", "New Age",
    "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial", "Alternative", "Ska",
    "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion",
    "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock",
    "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult",
    "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic",
    "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical",
    "Rock & Roll", "Hard Rock",
    // 80
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band",
    "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata",
    "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore",
    "Ballad", "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella", "Euro-House",
    "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie", "BritPop", "Afro-Punk",
    "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal", "Crossover", "Contemporary Christian",
    "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "JPop", "Synthpop"};

// Tag layout: "TAG" title(30) artist(30) album(30) year(4) comment(30) genre(1); in version 1.1
// the comment is 28 bytes, byte 125 a zero (or blank) and byte 126 the track.
constexpr std::size_t kTagSize = 128;
constexpr std::size_t kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97;
constexpr std::size_t kMarker = 125, kTrack = 126, kGenre = 127;

std::string Slot(const unsigned char* tag, std::size_t offset, std::size_t length)
{
    return TrimRight(std::string_view(reinterpret_cast<const char*>(tag) + offset, length));
}

} // namespace

std::string_view TID3v1::Genre(int index)
{
    return index >= 0 && index < kGenreCount ? kGenres[static_cast<std::size_t>(index)] : std::string_view();
}

std::string TID3v1::GenreName() const
{
    return std::string(Genre(genreIndex_));
}

bool TID3v1::Read(const std::string& fileName)
{
    ReaderFile file(fileName);
    return Read(file);
}

bool TID3v1::Read(ReaderFile& file)
{
    Clear();
    unsigned char tag[kTagSize];
    if (file.Size() < static_cast<int64_t>(kTagSize) || !file.ReadAt(file.Size() - kTagSize, tag, kTagSize))
        return false;
    if (tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G')
        return true;

    bool version11 = (tag[kMarker] == 0 && tag[kTrack] != 0) || (tag[kMarker] == 0x20 && tag[kTrack] != 0x20);
    title_ = Slot(tag, kTitle, 30);
    artist_ = Slot(tag, kArtist, 30);
    album_ = Slot(tag, kAlbum, 30);
    year_ = Slot(tag, kYear, 4);
    if (version11) {
        tagVersion_ = 2;
        comment_ = Slot(tag, kComment, 28);
        track_ = tag[kTrack];
    } else {
        comment_ = Slot(tag, kComment, 30);
    }
    genreIndex_ = tag[kGenre];
    tagFound_ = true;
    return true;
}

} // namespace fileinfo

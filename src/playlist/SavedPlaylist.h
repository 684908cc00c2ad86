// The playlist kept between runs: three line files in the Playlist folder of
// the data folder. dummy.asv holds the paths, loaded.asv the captions as shown
// (number prefixes included), loadedt.asv the times; line k of each belongs to
// entry k.
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace playlist {

struct SavedPlaylist {
    std::vector<std::string> paths;
    std::vector<QString> captions;
    std::vector<QString> times;
};

// The data folder's Playlist/ with its trailing "/".
std::string SavedPlaylistFolder();

// Writes the three files, each replaced as a whole; a missing folder is
// created. An entry whose path holds a line break cannot be kept in a line
// file and is left out of all three; line breaks inside captions and times
// become blanks. Throws std::runtime_error when a file cannot be written.
void WriteSavedPlaylist(const std::string& folder, const SavedPlaylist& playlist);

// Reads the three files back. Without dummy.asv (nothing saved yet) the
// playlist is empty. The result always has one caption and one time per path:
// surplus caption and time lines are ignored, a missing caption becomes the
// file name without extension and a missing time is empty. Throws
// std::runtime_error when a file exists but cannot be read.
SavedPlaylist ReadSavedPlaylist(const std::string& folder);

} // namespace playlist

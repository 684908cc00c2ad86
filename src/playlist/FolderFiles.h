// The files a folder holds that the program can play, for a folder dropped on
// the playlist or named on the command line.
#pragma once

#include <QStringList>

#include <string>
#include <vector>

namespace playlist {

// The files below folder, its subfolders included, whose names match one of
// patterns ("*.mp3;*.FLAC;..." lists, as the open dialog takes them; letter
// case aside), as full paths in the order a file manager shows names: by
// their path below the folder, numbers by value, letter case aside. Hidden
// files and folders are left out; linked folders are not entered; what is not
// a readable regular file (a FIFO, a device, a dangling link) is left out.
// Paths are bytes, as the file system holds them.
std::vector<std::string> PlayableFilesIn(const std::string& folder, const QStringList& patterns);

} // namespace playlist

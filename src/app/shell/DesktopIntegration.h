// Desktop integration of the associations: the program's desktop entry with the
// actions "Play In Orvella" and "Enqueue In Orvella", the program as default
// handler of the associated MIME types, and the desktop's caches refreshed.
#pragma once

#include <string>
#include <vector>

namespace shell {

struct DesktopPaths {
    std::string applicationsFolder; // $XDG_DATA_HOME/applications/
    std::string mimeappsList;       // $XDG_CONFIG_HOME/mimeapps.list
};

DesktopPaths DefaultDesktopPaths();

inline constexpr const char* kDesktopFileName = "orvella.desktop";

// The MIME types of a file-type list item ("MP3"); none for types the shared
// MIME database does not know.
std::vector<std::string> MimeTypesOf(const std::string& fileType);

// "*.wav;*.mp3;" gives "WAV", "MP3": the file types of an open-dialog pattern
// list, each once.
std::vector<std::string> FileTypesOfExtensionList(const std::string& extensions);

// The associated file types whose MIME defaults the program may claim: those a
// loaded decoder plays (`playable`, as FileTypesOfExtensionList gives them) and
// the playlists, which the program reads itself.
std::vector<std::string> ClaimableFileTypes(const std::vector<std::string>& associated,
                                            const std::vector<std::string>& playable);

// One argument of an Exec line, quoted and escaped as desktop entries need.
std::string DesktopExecArgument(const std::string& argument);

std::string DesktopEntryText(const std::string& programPath, const std::string& iconPath,
                             const std::vector<std::string>& fileTypes);

// Writes the desktop entry for these file types, makes the program their
// default handler and notifies the desktop. Only audio MIME types are named:
// a container that may hold video (MP4, ASF) stays with the user's video
// player. False when a file cannot be written; its path is then put in
// failedFile when given.
bool UpdateDesktopIntegration(const DesktopPaths& paths, const std::string& programPath, const std::string& iconPath,
                              const std::vector<std::string>& fileTypes, std::string* failedFile = nullptr);

} // namespace shell

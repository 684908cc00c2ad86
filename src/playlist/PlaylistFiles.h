// PLS, M3U and M3U8 playlist files. Entries are paths or file:// addresses;
// relative ones resolve against the playlist file's own folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace playlist {

// An entry as read from a playlist file: trimmed of blanks and control
// characters; a file:// address becomes its percent-decoded path, another
// address ("http://...") stays as it is; a relative path is made absolute
// against `folder` (the current directory when empty).
std::string ExpandEntryPath(std::string_view text, const std::string& folder = {});

// The [playlist] section: NumberOfEntries entries from File1, File2, ...
// A missing file, section or count gives no entries.
std::vector<std::string> ReadPls(const std::string& fileName);
// Every line that is not blank and does not start with "#", the last line
// included with or without a line break. The text is UTF-8 when it is valid
// UTF-8 (always for ".m3u8"), else Latin-1, but for an entry that names an
// existing file as its bytes stand. Throws std::runtime_error when the file
// cannot be read.
std::vector<std::string> ReadM3u(const std::string& fileName);
// ".PLS", ".M3U" or ".M3U8" in any case.
bool IsPlaylistFileName(std::string_view fileName);
// By the extension (see IsPlaylistFileName); other files give nothing. Throws
// std::runtime_error when a playlist file cannot be opened.
std::vector<std::string> ReadPlaylistFile(const std::string& fileName);

// [playlist] with File1 to Filen, then NumberOfEntries; the file is replaced
// as a whole, so no key of an older list survives. Throws std::runtime_error
// when the file cannot be written.
void WritePls(const std::string& fileName, const std::vector<std::string>& paths);
// "#EXTM3U" and one line per entry, each ending in CR LF; the file is
// replaced as a whole. Paths are written as held (UTF-8 here, so the same text
// serves ".m3u8"). Throws std::runtime_error on failure.
void WriteM3u(const std::string& fileName, const std::vector<std::string>& paths);
// The name "Save Playlist" writes to: unchanged when it ends in ".pls", ".m3u"
// or ".m3u8" (any case), else with `extension` (".pls" or ".m3u") added.
std::string PlaylistSaveName(const std::string& name, const std::string& extension);

// Replaces a file as a whole through a temporary file in the same folder, so
// a crash never leaves half of it. Throws std::runtime_error on failure.
void ReplaceFile(const std::string& fileName, std::string_view bytes);
// Splits text into lines at CR LF, LF or CR; a final line break adds no line.
std::vector<std::string_view> SplitLines(std::string_view text);
// Reads a whole file; throws std::runtime_error when it cannot.
std::string ReadWholeFile(const std::string& fileName);

} // namespace playlist

// PLS and M3U playlist files. Entries are paths only; relative ones are
// expanded against the process's current directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace playlist {

// An entry as read from a playlist file: trimmed of blanks and control
// characters, then made absolute against the current directory.
std::string ExpandEntryPath(std::string_view text);

// The [playlist] section: NumberOfEntries entries from File1, File2, ...
// A missing file, section or count gives no entries.
std::vector<std::string> ReadPls(const std::string& fileName);
// Every line that is not blank and does not start with "#", the last line
// included with or without a line break. Throws std::runtime_error when the
// file cannot be read.
std::vector<std::string> ReadM3u(const std::string& fileName);
// By the extension: ".PLS" or ".M3U" in any case; other files give nothing.
std::vector<std::string> ReadPlaylistFile(const std::string& fileName);

// Written key by key through the profile file: File1 to Filen, then
// NumberOfEntries. Keys of an existing file beyond n stay. Throws
// std::runtime_error when the file cannot be written.
void WritePls(const std::string& fileName, const std::vector<std::string>& paths);
// "#EXTM3U" and one line per entry, each ending in CR LF; the file is
// replaced as a whole. Throws std::runtime_error on failure.
void WriteM3u(const std::string& fileName, const std::vector<std::string>& paths);

// Replaces a file as a whole through a temporary file in the same folder, so
// a crash never leaves half of it. Throws std::runtime_error on failure.
void ReplaceFile(const std::string& fileName, std::string_view bytes);
// Splits text into lines at CR LF, LF or CR; a final line break adds no line.
std::vector<std::string_view> SplitLines(std::string_view text);
// Reads a whole file; throws std::runtime_error when it cannot.
std::string ReadWholeFile(const std::string& fileName);

} // namespace playlist

// Caption and time texts of playlist entries.
#pragma once

#include <QString>

#include <cstdint>
#include <string_view>

namespace playlist {

// Upper-cases the first character and every character after a blank (ASCII
// letters only); the result ends at the first NUL and is at most 100
// characters long.
QString CapitalizeWords(const QString& text);

// ASCII letters to lower case, everything else as it is.
QString AsciiLower(const QString& text);

// True unless the text holds both upper- and lower-case letters.
bool IsSingleCase(const QString& text);

// The display caption of an entry from its tag texts (raw: they are
// capitalised here, after lower-casing a text that is all in one case) in title format 0 to 4; any other format joins
// them with a blank. With neither text, the file name without its extension.
QString PlaylistCaption(const QString& title, const QString& artist, const QString& baseName, int titleFormat);

// The length of the number prefix numbering writes ("7. ": decimal digits, a
// "." and a blank) at the start of a caption; 0 without one.
qsizetype NumberPrefixLength(const QString& caption);

// Adds, replaces or removes the number prefix of the caption of entry `index`
// (0-based); blanks after the prefix, or leading blanks, go with it.
QString RenumberCaption(const QString& caption, int index, bool numbering);

// The one form of every time the program shows or saves: "mm:ss" under an
// hour, "h:mm:ss" from an hour on (3725 s gives "1:02:05"); a negative time
// gives "00:00".
QString TimeText(int64_t seconds);

// The time column of an entry of the given duration (rounded to whole
// seconds). A duration the player could not hold (2^32 ms, 49 days) is no
// duration and gives "00:00", as does anything else that is not sensible.
QString PlaylistTimeText(double seconds);

// The file name of a path without its folder, as shown.
QString FileNameOf(std::string_view path);
// The same without its last extension.
QString BaseNameOf(std::string_view path);

// The extension of a path (from its last "."), upper-cased: ".PLS".
std::string UpperExtension(std::string_view path);

} // namespace playlist

// Text helpers shared by the program and its tools. Bytes from files are kept
// as stored; where they reach a person, bytes that are not valid UTF-8 are read
// as Latin-1, so old 8-bit tags show correctly.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

class QString;
class QUrl;

namespace platform {

bool IsValidUtf8(std::string_view bytes);
// The length of the UTF-8 sequence that starts at bytes[at], or 0 when no
// valid one does; at < bytes.size().
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t at);

// The bytes as UTF-8 when they are valid UTF-8, else each byte as the Latin-1
// character of the same code.
std::string DisplayUtf8(std::string_view bytes);
// In libplatform.so, Qt's side of the platform.
QString DisplayString(std::string_view bytes);

// A file name holds bytes, which need not be UTF-8 (an old library copied from
// another system). Qt's own conversions put U+FFFD in place of such bytes, and
// the name is lost; these keep every byte. PathString decodes UTF-8 and gives
// each byte that is not part of valid UTF-8 as the lone surrogate U+DC80 +
// (byte - 0x80), which no valid UTF-8 decodes to; PathBytes undoes it, and
// encodes the rest as UTF-8. Names so held go to the file system through
// PathBytes, never through Qt's file classes.
QString PathString(std::string_view bytes);
std::string PathBytes(const QString& path);
// A path so held, made absolute against the current folder and cleaned of
// "." and ".." steps.
QString AbsolutePath(const QString& path);
// The path of a file: address, so held; empty for any other address. Its
// percent escapes are bytes, which QUrl::toLocalFile() keeps only when they
// spell UTF-8.
QString LocalFileOfUrl(const QUrl& url);
// The file: address of a path so held, every byte kept.
QUrl UrlOfLocalFile(const QString& path);

// A JSON string literal (with its quotes) of the displayed text; control
// characters, zero bytes included, as \uXXXX escapes.
std::string JsonString(std::string_view bytes);

// A character and the letter of its backslash escape ('\n' and 'n').
struct BackslashEscape {
    char plain;
    char letter;
};
// The text with every character that has an escape written as "\" and its
// letter; each text format brings its own escapes.
std::string BackslashEscaped(std::string_view text, std::initializer_list<BackslashEscape> escapes);

} // namespace platform

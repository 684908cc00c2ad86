// Text helpers shared by the program and its tools. Bytes from files are kept
// as stored; where they reach a person, bytes that are not valid UTF-8 are read
// as Latin-1, so old 8-bit tags show correctly.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

class QString;

namespace platform {

bool IsValidUtf8(std::string_view bytes);

// The bytes as UTF-8 when they are valid UTF-8, else each byte as the Latin-1
// character of the same code.
std::string DisplayUtf8(std::string_view bytes);
// In libplatform.so, Qt's side of the platform.
QString DisplayString(std::string_view bytes);

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

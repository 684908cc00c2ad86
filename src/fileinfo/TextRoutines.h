// Text routines shared by the readers. Tag bytes are kept as stored; texts that
// a reader converts (UTF-8 values, UTF-16 texts) end up as UTF-8, the system's
// code page here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fileinfo {

class ReaderFile;

// Removes the bytes (or UTF-16 units) of code 0x20 or less from both ends, or from the end only;
// embedded zero bytes stay.
std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);
std::u16string Trim(std::u16string_view text);

std::string UpperAscii(std::string_view text);

// The whole text as a decimal integer with an optional sign; 0 when it is not one
// (empty, other characters, or outside the 32-bit range).
int32_t IntegerFromText(std::string_view text);

// Track number: the trimmed text up to its first "/", as an integer; 0 when that is not one.
int32_t TrackFromText(std::string_view text);

// Decodes a UTF-8 tag value of one- to four-byte sequences. A malformed sequence (a stray
// following byte, a sequence cut short, an overlong form, a surrogate) becomes U+FFFD and the
// rest of the text is still decoded. The result is UTF-8, so it may grow up to three times.
std::string Utf8ToAnsi(std::string_view bytes);

// UTF-16 units to UTF-8; a unit of a broken surrogate pair becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Tags may store values of any length; only this many bytes of one are kept.
inline constexpr std::size_t kValueCap = 250;

// Reads a value of `size` bytes at the file position: keeps its first kValueCap bytes (fewer at
// the end of the file), then moves past the whole value. False, reading nothing, for a negative
// size, which would move a walk backwards.
bool ReadBoundedValue(ReaderFile& file, int64_t size, std::string& buffer);

} // namespace fileinfo

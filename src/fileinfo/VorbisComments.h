// What both Ogg Vorbis readers share: the header magics and the walk over the
// comment header's entries.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace fileinfo {

class ReaderFile;

inline constexpr std::string_view kVorbisIdentification{"\x01vorbis", 7};
inline constexpr std::string_view kVorbisComment{"\x03vorbis", 7};

// From the file position (just after "\3vorbis"): entry 0 is the vendor text, then the comment
// count C, then C entries, each a 32-bit little-endian length and that many bytes. Every entry is
// handed over as its first 250 bytes, trimmed. The walk ends at the end of the file, at a failed
// read, or at a length that is negative as a signed number.
// bodyEnd is where the body of the page holding the position ends, -1 when not known: a header
// that large (a cover picture) goes on over further pages, whose page headers are passed over.
void ReadVorbisComments(ReaderFile& file, int64_t bodyEnd,
                        const std::function<void(const std::string& entry)>& onEntry);

// The end of the body of the page that starts at the position, -1 when no page starts there.
int64_t PageBodyEnd(ReaderFile& file, int64_t page);

// Splits "NAME=value" at the first "="; false when there is no "=".
bool SplitComment(const std::string& entry, std::string& upperName, std::string& value);

} // namespace fileinfo

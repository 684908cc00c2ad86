// The file types in_media claims, as the host reads them from FileExtensions.
#pragma once

namespace media {

// Pairs of NUL-terminated texts, an upper-case extension list ("M4A;M4B") and
// its description, ended by an empty text.
extern char extension_list[];

} // namespace media

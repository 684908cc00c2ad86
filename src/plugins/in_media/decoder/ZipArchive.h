// The one file inside a zip archive, as zipped modules (MDZ) hold it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace media {

// True when the bytes start like a zip archive.
bool LooksLikeZip(const uint8_t* data, std::size_t size);

// The first file of the archive (folders and encrypted entries are passed
// over), stored or deflated, at most maxBytes long and with a matching CRC.
// False, with why, when there is none or the archive is damaged.
bool FirstZipEntry(const uint8_t* data, std::size_t size, std::size_t maxBytes, std::vector<uint8_t>& out,
                   std::string& name, std::string& why);

} // namespace media

// Whole-file writes that a crash cannot tear.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Wait: the write returns once the new file and its name are on the disk, so
// a power cut cannot bring back the old file or, on some file systems, leave
// an empty one. Skip: for a store rewritten many times in a row, where those
// waits would add up.
enum class DiskFlush { Wait, Skip };

// Replaces the file at `path` with `bytes`: they are written in full to a
// temporary file in the same folder, which is then renamed over the old file,
// so no reader and no crash ever meets half a file. A replaced file keeps its
// permission bits; a new one gets `newFileMode` less the umask, as open()
// would give it. On failure the old file is untouched, no temporary file is
// left behind and errno says why.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t newFileMode = 0666,
                         DiskFlush flush = DiskFlush::Wait);

// Writes all of `bytes` to `fd`, resuming after short writes and signals;
// false with errno set when the file takes no more.
bool WriteAll(int fd, std::string_view bytes);

} // namespace platform

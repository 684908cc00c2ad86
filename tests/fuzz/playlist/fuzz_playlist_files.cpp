// Playlist files from anywhere: PLS, M3U, M3U8 and the three saved-playlist
// files must read without harm, give absolute paths or network addresses,
// never empty and without NUL bytes, and keep the saved playlist's lists in
// step. The first byte chooses the kind.

#include "fuzz/FuzzCheck.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/SavedPlaylist.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::string& folder()
{
    static const std::string dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvella-fuzz-XXXXXX").string();
        return std::string(mkdtemp(pattern.data())) + "/";
    }();
    return dir;
}

void write(const std::string& name, std::string_view bytes)
{
    std::ofstream(folder() + name, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
    case 1: {
        // The high bit of the first byte makes an M3U an M3U8.
        const std::string name = data[0] % 3 == 0 ? "x.pls" : (data[0] & 0x80) ? "x.m3u8" : "x.m3u";
        write(name, bytes);
        for (const std::string& path : playlist::ReadPlaylistFile(folder() + name))
            check(!path.empty() && (path.front() == '/' || path.find("://") != std::string::npos) &&
                  path.find('\0') == std::string::npos);
        break;
    }
    default: {
        // Three files cut from the input at its first two NUL bytes.
        const size_t a = std::min(bytes.find('\0'), bytes.size());
        const size_t b = a < bytes.size() ? std::min(bytes.find('\0', a + 1), bytes.size()) : bytes.size();
        write("dummy.asv", bytes.substr(0, a));
        write("loaded.asv", a < bytes.size() ? bytes.substr(a + 1, b - a - 1) : std::string_view());
        write("loadedt.asv", b < bytes.size() ? bytes.substr(b + 1) : std::string_view());
        const playlist::SavedPlaylist saved = playlist::ReadSavedPlaylist(folder());
        check(saved.captions.size() == saved.paths.size() && saved.times.size() == saved.paths.size());
        // What was read writes back and reads the same.
        playlist::WriteSavedPlaylist(folder(), saved);
        const playlist::SavedPlaylist again = playlist::ReadSavedPlaylist(folder());
        check(again.paths == saved.paths && again.captions == saved.captions && again.times == saved.times);
        break;
    }
    }
    return 0;
}

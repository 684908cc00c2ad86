#include "SavedPlaylist.h"

#include "PlaylistFiles.h"
#include "PlaylistText.h"

#include "platform/folders.h"
#include "platform/text.h"

#include <QStringDecoder>

#include <filesystem>
#include <stdexcept>

namespace playlist {
namespace {

constexpr const char* PathsFile = "dummy.asv";
constexpr const char* CaptionsFile = "loaded.asv";
constexpr const char* TimesFile = "loadedt.asv";

bool hasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string oneLine(const QString& text)
{
    std::string s = text.toStdString();
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

// Captions and times were written as UTF-8: every character comes back, a
// leading byte order mark too (the usual decoding drops it, so a caption would
// lose a character at every restart).
QString savedText(std::string_view bytes)
{
    if (!platform::IsValidUtf8(bytes))
        return platform::DisplayString(bytes);
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

std::string readIfPresent(const std::string& fileName)
{
    std::error_code error;
    if (!std::filesystem::exists(fileName, error))
        return {};
    return ReadWholeFile(fileName);
}

} // namespace

std::string SavedPlaylistFolder()
{
    return platform::DataFolder() + "Playlist/";
}

void WriteSavedPlaylist(const std::string& folder, const SavedPlaylist& playlist)
{
    if (!platform::EnsureFolder(folder))
        throw std::runtime_error("Cannot create the folder " + folder);
    std::string paths, captions, times;
    for (size_t k = 0; k < playlist.paths.size(); ++k) {
        if (hasLineBreak(playlist.paths[k]))
            continue;
        paths += playlist.paths[k] + "\r\n";
        captions += (k < playlist.captions.size() ? oneLine(playlist.captions[k]) : std::string()) + "\r\n";
        times += (k < playlist.times.size() ? oneLine(playlist.times[k]) : std::string()) + "\r\n";
    }
    ReplaceFile(folder + PathsFile, paths);
    ReplaceFile(folder + CaptionsFile, captions);
    ReplaceFile(folder + TimesFile, times);
}

SavedPlaylist ReadSavedPlaylist(const std::string& folder)
{
    SavedPlaylist playlist;
    const std::string pathBytes = readIfPresent(folder + PathsFile);
    const std::string captionBytes = readIfPresent(folder + CaptionsFile);
    const std::string timeBytes = readIfPresent(folder + TimesFile);
    const auto paths = SplitLines(pathBytes);
    const auto captions = SplitLines(captionBytes);
    const auto times = SplitLines(timeBytes);

    playlist.paths.reserve(paths.size());
    playlist.captions.reserve(paths.size());
    playlist.times.reserve(paths.size());
    for (size_t k = 0; k < paths.size(); ++k) {
        playlist.paths.emplace_back(paths[k]);
        playlist.captions.push_back(k < captions.size() ? savedText(captions[k]) : BaseNameOf(paths[k]));
        playlist.times.push_back(k < times.size() ? savedText(times[k]) : QString());
    }
    return playlist;
}

} // namespace playlist

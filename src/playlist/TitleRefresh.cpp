#include "TitleRefresh.h"

#include "PlaylistText.h"

#include "fileinfo/ReaderFile.h"
#include "fileinfo/TrackSummary.h"

#include "platform/text.h"

namespace playlist {
namespace {

QString text(const std::string& bytes)
{
    return platform::DisplayString(bytes);
}

} // namespace

TrackTitle ReadTrackTitle(const std::string& path, const PluginFileInfoSource& plugins)
{
    // One opening serves every reader in turn.
    fileinfo::ReaderFile file(path);
    if (!file.IsOpen())
        return {};

    // The last reader that knew the format gives the duration, even when it
    // could not name the file.
    using fileinfo::Reader;
    const fileinfo::TrackSummary track = fileinfo::ReadTrackSummary(
        file, {Reader::Mpeg, Reader::Wma, Reader::OggVorbis, Reader::Monkey, Reader::Wav, Reader::TwinVQ});
    // A format only a plug-in knows is titled as the plug-in plays it.
    if (!track.recognised && plugins) {
        if (const std::optional<PluginFileInfo> claimed = plugins(path); claimed && claimed->lengthMs > 0)
            return {text(claimed->title), {}, claimed->lengthMs / 1000.0};
    }
    // A file nobody recognised shows its own name, as it is.
    if (!track.recognised)
        return {{}, {}, track.seconds};
    return {text(track.title), track.namedByFile ? FileNameOf(path) : text(track.artist), track.seconds};
}

} // namespace playlist

#include "TitleRefresh.h"

#include "fileinfo/MPEGaudio.h"
#include "fileinfo/Monkeyinf.h"
#include "fileinfo/OggVorbisinf.h"
#include "fileinfo/ReaderFile.h"
#include "fileinfo/TwinVQ.h"
#include "fileinfo/WAVfileinf.h"
#include "fileinfo/WMAfile.h"

#include "platform/text.h"

namespace playlist {
namespace {

QString text(const std::string& bytes)
{
    return platform::DisplayString(bytes);
}

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TrackTitle ReadTrackTitle(const std::string& path, const PluginFileInfoSource& plugins)
{
    // One opening serves every reader in turn.
    fileinfo::ReaderFile file(path);
    if (!file.IsOpen())
        return {};

    // The last reader that claimed the file gives the duration, even when its
    // tags did not make the file count as recognised.
    double seconds = 0;
    bool recognised = false;
    std::string title, artist;
    auto take = [&](const std::string& t, const std::string& a) {
        title = t;
        artist = a;
        recognised = true;
    };

    fileinfo::TMPEGaudio mpeg;
    mpeg.Read(file);
    if (mpeg.IsPlausible()) {
        seconds = mpeg.DurationSeconds();
        if (mpeg.Id3v2Tag().TagFound())
            take(mpeg.Id3v2Tag().Title(), mpeg.Id3v2Tag().Artist());
        else if (mpeg.Id3v1Tag().TagFound())
            take(mpeg.Id3v1Tag().Title(), mpeg.Id3v1Tag().Artist());
    }
    if (!recognised) {
        fileinfo::TWMAfile wma;
        wma.Read(file);
        if (wma.Recognised()) {
            seconds = wma.DurationSeconds();
            take(wma.Title(), wma.Artist());
        }
    }
    if (!recognised) {
        fileinfo::OggVorbisinf::TOggVorbis ogg;
        ogg.Read(file);
        if (ogg.Recognised()) {
            seconds = ogg.DurationSeconds();
            if (!ogg.IsDamaged())
                take(ogg.Title(), ogg.Artist());
        }
    }
    if (!recognised) {
        fileinfo::TMonkey monkey;
        monkey.Read(file);
        if (monkey.IsPlausible()) {
            seconds = monkey.DurationSeconds();
            if (monkey.Id3v1Tag().TagFound())
                take(monkey.Id3v1Tag().Title(), monkey.Id3v1Tag().Artist());
        }
    }
    if (!recognised) {
        fileinfo::WAVfileinf::TWAVfile wav;
        wav.Read(file);
        if (wav.Recognised()) {
            seconds = wav.DurationSeconds();
            take({}, fileNameOf(path));
        }
    }
    if (!recognised) {
        fileinfo::TTwinVQ twinvq;
        twinvq.Read(file);
        if (twinvq.Recognised()) {
            seconds = twinvq.DurationSeconds();
            if (!twinvq.IsDamaged())
                take(twinvq.Title(), twinvq.Author());
        }
    }
    // A format only a plug-in knows is titled as the plug-in plays it.
    if (!recognised && plugins) {
        if (const std::optional<PluginFileInfo> claimed = plugins(path); claimed && claimed->lengthMs > 0)
            return {text(claimed->title), {}, claimed->lengthMs / 1000.0};
    }
    // A file nobody recognised shows its own name, as it is.
    if (!recognised)
        return {{}, {}, seconds};
    return {text(title), text(artist), seconds};
}

} // namespace playlist

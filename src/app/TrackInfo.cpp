// The track information of the file that started: artist, title, stream
// properties and the caption, from the first reader that recognises it. The
// file is opened once and every reader reads from that opening.
#include "MainWindow.h"

#include "app/display/TrackText.h"

#include "fileinfo/ReaderFile.h"
#include "fileinfo/TrackSummary.h"
#include "platform/text.h"
#include "playlist/PlaylistText.h"

#include <QLabel>

namespace {

QString text(const std::string& bytes)
{
    return platform::DisplayString(bytes);
}

} // namespace

void TForm1::setlabelinfo1()
{
    const std::string& path = player_->StreamFileName();
    titleedit_.clear();
    artistedit_.clear();
    tagTitle_.clear();
    tagArtist_.clear();
    fileinfo::ReaderFile file(path);
    if (!file.IsOpen()) {
        emit trackChanged();
        return;
    }
    const QString fileName = playlist::FileNameOf(path);

    using fileinfo::Reader;
    const fileinfo::TrackSummary track = fileinfo::ReadTrackSummary(
        file, {Reader::Mpeg, Reader::MonkeyOrApeTag, Reader::Wma, Reader::OggVorbis, Reader::Wav, Reader::TwinVQ});
    // An MPEG reading shows as mpeginfo1 shows it, and a later reader that
    // knew the file replaces it.
    if (track.mpegPlausible)
        readMpegProperties(file);
    if (track.damaged) {
        for (QLabel* l : {channeledit, sampleedit, bitrateedit})
            l->setText(QStringLiteral("~"));
    } else if (track.kind != Reader::None && track.kind != Reader::Mpeg) {
        channeledit->setText(QString::fromStdString(track.channelMode));
        sampleedit->setText(QString::number(track.sampleRate));
        bitrateedit->setText(QString::number(track.bitRate));
    }
    bool recognised = track.recognised;
    QString title = text(track.title);
    QString artist = track.namedByFile ? fileName : text(track.artist);
    // A damaged TwinVQ header still counts as recognised, and says so.
    if (track.damaged && track.kind == Reader::TwinVQ) {
        title = QStringLiteral("(Currupt Header)");
        artist = fileName;
        recognised = true;
    }
    // A format only a plug-in knows is titled as the plug-in plays it.
    if (!recognised) {
        std::string pluginTitle;
        int lengthMs = 0;
        if (player_->GetPluginFileInfo(path, pluginTitle, lengthMs)) {
            title = text(pluginTitle);
            artist.clear();
            recognised = true;
        }
    }

    const display::TrackLabels labels =
        display::FinishTrackLabels(title, artist, playlist::BaseNameOf(path), recognised);
    displaycap->setText(labels.displaycap);
    titleedit_ = labels.titleedit;
    artistedit_ = labels.artistedit;
    tagTitle_ = recognised ? title : playlist::BaseNameOf(path);
    tagArtist_ = recognised ? artist : QString();
    channeledit->setText(display::ChannelLabel(channeledit->text()));
    for (QLabel* l : {sampleedit, bitrateedit, channeledit})
        l->adjustSize();
    emit trackChanged();
}

void TForm1::mpeginfo1()
{
    fileinfo::ReaderFile file(player_->StreamFileName());
    readMpegProperties(file);
}

bool TForm1::readMpegProperties(fileinfo::ReaderFile& file)
{
    const bool ok = file.IsOpen() && MPEGaudio1.Read(file) && MPEGaudio1.IsPlausible();
    if (ok) {
        bitrateedit->setText(QString::number(MPEGaudio1.BitRateKbps()));
        sampleedit->setText(QString::number(MPEGaudio1.SampleRate()));
        channeledit->setText(QString::fromStdString(MPEGaudio1.ChannelModeText()));
        encoderedit_ = text(MPEGaudio1.EncoderText());
    } else {
        for (QLabel* l : {bitrateedit, sampleedit, channeledit})
            l->clear();
        encoderedit_.clear();
    }
    return ok;
}

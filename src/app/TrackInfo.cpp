// The track information of the file that started: artist, title, stream
// properties and the caption, from the first reader that recognises it. The
// file is opened once and every reader reads from that opening.
#include "MainWindow.h"

#include "app/display/TrackText.h"

#include "fileinfo/ReaderFile.h"
#include "platform/text.h"
#include "playlist/PlaylistText.h"

#include <QFile>
#include <QFileInfo>
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
    const QString fileName = QFileInfo(QFile::decodeName(path.c_str())).fileName();

    bool recognised = false;
    QString title, artist;
    auto take = [&](const std::string& t, const std::string& a) {
        title = text(t);
        artist = text(a);
        recognised = true;
    };
    auto properties = [&](const std::string& channels, int sampleRate, int bitRate) {
        channeledit->setText(QString::fromStdString(channels));
        sampleedit->setText(QString::number(sampleRate));
        bitrateedit->setText(QString::number(bitRate));
    };
    auto damaged = [&] {
        for (QLabel* l : {channeledit, sampleedit, bitrateedit})
            l->setText(QStringLiteral("~"));
        title = QStringLiteral("(Currupt Header)");
        artist = fileName;
    };

    // The tags that count are the MPEG reader's own, not the separate tag readers'.
    MPEGaudio1.Read(file);
    if (MPEGaudio1.IsPlausible()) {
        readMpegProperties(file);
        if (MPEGaudio1.Id3v2Tag().TagFound())
            take(MPEGaudio1.Id3v2Tag().Title(), MPEGaudio1.Id3v2Tag().Artist());
        else if (MPEGaudio1.Id3v1Tag().TagFound())
            take(MPEGaudio1.Id3v1Tag().Title(), MPEGaudio1.Id3v1Tag().Artist());
    }
    if (!recognised) {
        APEtag1.Read(file);
        Monkey1.Read(file);
        if (Monkey1.IsPlausible())
            properties(Monkey1.ChannelModeText(), Monkey1.SampleRate(), Monkey1.BitsPerSample());
        if (APEtag1.TagFound())
            take(APEtag1.Title(), APEtag1.Artist());
    }
    if (!recognised) {
        WMAfile1.Read(file);
        if (WMAfile1.Recognised()) {
            properties(WMAfile1.ChannelModeText(), WMAfile1.SampleRate(), WMAfile1.BitRateKbps());
            take(WMAfile1.Title(), WMAfile1.Artist());
        }
    }
    if (!recognised) {
        OggVorbis1.Read(file);
        if (OggVorbis1.Recognised() && OggVorbis1.IsDamaged()) {
            damaged(); // shown as damaged, but not recognised
        } else if (OggVorbis1.Recognised()) {
            properties(OggVorbis1.ChannelModeText(), OggVorbis1.SampleRate(), OggVorbis1.BitRateKbps());
            take(OggVorbis1.Title(), OggVorbis1.Artist());
        }
    }
    if (!recognised) {
        WAVfile1.Read(file);
        if (WAVfile1.Recognised()) {
            properties(WAVfile1.ChannelModeText(), int(WAVfile1.SampleRate()), int(WAVfile1.BitRateKbps()));
            title.clear();
            artist = fileName;
            recognised = true;
        }
    }
    if (!recognised) {
        TwinVQ1.Read(file);
        if (TwinVQ1.Recognised()) {
            if (TwinVQ1.IsDamaged()) {
                damaged();
            } else {
                properties(TwinVQ1.ChannelModeText(), TwinVQ1.SampleRate(), TwinVQ1.BitRateKbps());
                title = text(TwinVQ1.Title());
                artist = text(TwinVQ1.Author());
            }
            recognised = true;
        }
    }
    // A format only a plug-in knows is titled as the plug-in plays it.
    if (!recognised) {
        std::string pluginTitle;
        int lengthMs = 0;
        if (player_->GetPluginFileInfo(path, pluginTitle, lengthMs))
            take(pluginTitle, {});
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

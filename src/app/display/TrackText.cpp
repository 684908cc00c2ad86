#include "TrackText.h"

#include "playlist/PlaylistText.h"

namespace display {

TrackLabels FinishTrackLabels(const QString& title, const QString& artist, const QString& baseName, bool recognised)
{
    TrackLabels labels{{}, title, artist};
    if (!recognised) {
        labels.titleedit = baseName;
        labels.artistedit.clear();
        labels.displaycap = baseName;
    } else if (artist.isEmpty()) {
        labels.displaycap = title.isEmpty() ? baseName : title;
    } else {
        labels.displaycap = title.isEmpty() ? artist : artist + " - " + title;
    }
    labels.displaycap = playlist::CapitalizeWords(labels.displaycap);
    labels.titleedit = playlist::CapitalizeWords(labels.titleedit);
    labels.artistedit = playlist::CapitalizeWords(labels.artistedit);
    return labels;
}

QString ChannelLabel(const QString& channelMode)
{
    if (channelMode.contains(QLatin1String("stereo"), Qt::CaseInsensitive))
        return QStringLiteral("Stereo");
    if (channelMode.contains(QLatin1String("dual"), Qt::CaseInsensitive))
        return QStringLiteral("Dual");
    return QStringLiteral("Mono");
}

QString ElapsedTimeText(int64_t positionMs)
{
    return playlist::TimeText(std::max<int64_t>(0, positionMs) / 1000);
}

QString StatusText(int mode)
{
    static const char* const texts[] = {"Standby", "Ready", "Stopped", "Playing ", "Paused"};
    return mode >= 0 && mode < 5 ? QString::fromLatin1(texts[mode]) : QString();
}

} // namespace display

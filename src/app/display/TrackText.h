// The texts of the track information display that follow from plain inputs.
#pragma once

#include <QString>

#include <cstdint>

namespace display {

struct TrackLabels {
    QString displaycap;
    QString titleedit;
    QString artistedit;
};

// The caption and the title and artist labels once the readers are done: a
// file no reader recognised shows its name without extension; everything is
// passed through CapitalizeWords (without lower-casing first).
TrackLabels FinishTrackLabels(const QString& title, const QString& artist, const QString& baseName, bool recognised);

// "Stereo" when the reader's channel mode text mentions stereo (any case),
// else "Dual" when it mentions dual, else "Mono".
QString ChannelLabel(const QString& channelMode);

// The elapsed time, "mm:ss" or from an hour on "h:mm:ss"; a negative position shows 00:00.
QString ElapsedTimeText(int64_t positionMs);

// Player modes 0 to 4 as the status label shows them ("Playing " with its
// trailing blank); empty for any other value.
QString StatusText(int mode);

} // namespace display

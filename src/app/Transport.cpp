// Play, pause, stop, previous, next, stepping, seeking, volume, the end of a
// stream and the three timers.
#include "MainWindow.h"

#include "app/display/FrequencyGauge.h"
#include "app/display/TrackText.h"

#include "controls/Slider.h"
#include "equalizer/EqualizerWindow.h"
#include "platform/folders.h"
#include "platform/msgbox.h"
#include "playlist/PlaylistText.h"
#include "playlist/PlaylistWindow.h"

#include <QLabel>

#include <climits>
#include <exception>

using player::psPaused;
using player::psPlaying;

namespace {

void selectBoth(playlist::Tplayl& list, int index)
{
    list.ListBox1.setItemIndex(index);
    list.Highlight(index);
}

} // namespace

void TForm1::startTimers()
{
    Timer1.setInterval(1000);
    tracktimer.setInterval(1000);
    Timer_Stat.setInterval(kStatusIntervalMs);
    connect(&Timer1, &QTimer::timeout, this, &TForm1::onPositionTick);
    connect(&tracktimer, &QTimer::timeout, this, &TForm1::onTrackTimeTick);
    connect(&Timer_Stat, &QTimer::timeout, this, &TForm1::onStatusTick);
    followPlayback();
}

void TForm1::followPlayback()
{
    const bool playing = player_->Mode() == psPlaying;
    const bool moveSlider = playing && !seekDragging_;
    if (!moveSlider) {
        Timer1.stop();
    } else if (!Timer1.isActive()) {
        Timer1.start();
        // It also ticks once as the command that started playback ends, so
        // that a step right after a resume starts from where playback is.
        QMetaObject::invokeMethod(this, &TForm1::onPositionTick, Qt::QueuedConnection);
    }
    if (!playing)
        tracktimer.stop();
    else if (!tracktimer.isActive())
        tracktimer.start();
}

void TForm1::playbt1()
{
    playSkipping(+1);
}

void TForm1::playSkipping(int direction)
{
    // Play skips an entry it cannot start by going on to its neighbour (the
    // one before it when the user went back): with no playable entry (and
    // Repeat on) that chain would never end, so every entry is tried once at
    // most.
    statusHeld_ = false;
    for (int tried = 1; playSelected(direction) == PlayOutcome::Skip; ++tried) {
        if (tried >= playl_->Count()) {
            player_->Stop();
            noteMode();
            setStatus(QStringLiteral("No playable files"));
            statusHeld_ = true;
            return;
        }
        selectNeighbour(direction);
    }
}

TForm1::PlayOutcome TForm1::playSelected(int direction)
{
    playlist::TPathList& paths = playl_->ListBox1;
    if (playl_->Count() == 0)
        return PlayOutcome::Done;
    // The path list's selection decides; else the highlighted entry; else the first.
    if (paths.ItemIndex() < 0)
        paths.setItemIndex(playl_->Highlighted());
    if (paths.ItemIndex() < 0)
        paths.setItemIndex(0);
    const int i = paths.ItemIndex();
    const std::string path = paths[i];

    auto skip = [&] {
        playl_->setPlayindex(QString::number(i));
        // After the last entry with Repeat off there is nothing to skip to.
        const bool atEnd = direction > 0 && !repeat() && i == playl_->Count() - 1;
        return atEnd ? PlayOutcome::Done : PlayOutcome::Skip;
    };
    if (!platform::IsFile(path))
        return skip();
    try {
        if (player_->Mode() == psPaused) {
            // Resumes the paused file, whichever entry is selected.
            pausebtt1();
        } else {
            player_->Stop();
            // A file the player refuses is reported by the player itself, in a
            // box that does not hold up the entries after it; the previous
            // file must not play again in its place.
            bool opened = false;
            {
                const platform::ModelessMessageBoxes modeless;
                opened = player_->Open(path);
            }
            if (!opened)
                return player_->PlayerReady() ? skip() : PlayOutcome::Done;
            player_->Play();
            nowp_ = playlist::FileNameOf(path);
            setlabelinfo1();
            Slider1->setMaxValue(int(std::min<uint32_t>(player_->PlayLength(), INT_MAX)));
        }
        playl_->setPlayindex(QString::number(i));
    } catch (const std::exception&) {
        return skip();
    }
    noteMode();
    return PlayOutcome::Done;
}

void TForm1::selectNeighbour(int direction)
{
    const int count = playl_->Count();
    if (count == 0)
        return;
    if (playl_->ListBox1.ItemIndex() < 0)
        playl_->ListBox1.setItemIndex(0);
    const int current = playindex().toInt();
    // Next from the last entry goes to the first, whatever the Repeat setting;
    // Previous from the first to the last.
    const int k = direction > 0 ? (current + 1 == count ? 0 : current + 1) : (current != 0 ? current - 1 : count - 1);
    selectBoth(*playl_, k);
    player_->Stop();
}

void TForm1::nextbt1()
{
    if (playl_->Count() == 0)
        return;
    selectNeighbour(+1);
    playbt1();
}

void TForm1::prevbt1()
{
    if (playl_->Count() == 0)
        return;
    selectNeighbour(-1);
    playSkipping(-1);
}

void TForm1::realbxdblclick1()
{
    player_->Stop();
    playbt1();
}

void TForm1::playEntry(int index)
{
    selectBoth(*playl_, index);
    // Play would resume a paused file instead of starting this one.
    if (player_->Mode() == psPaused)
        player_->Pause(false);
    realbxdblclick1();
}

void TForm1::stopbt1()
{
    if (playl_->Count() == 0) {
        if (player_->Mode() == psPlaying) {
            player_->Stop();
            Slider1->setValue(0);
            setStatus(QStringLiteral("No File Loaded"));
        }
        noteMode();
        return;
    }
    if (playl_->ListBox1.ItemIndex() < 0)
        playl_->ListBox1.setItemIndex(0);
    // A paused file stays paused.
    if (player_->Mode() == psPlaying) {
        player_->Stop();
        setStatus(QStringLiteral("Stopped"));
    }
    noteMode();
}

void TForm1::pausebtt1()
{
    if (player_->Mode() == psPlaying) {
        player_->Pause(true);
        setStatus(QStringLiteral("Paused"));
    } else if (player_->Mode() == psPaused) {
        player_->Pause(false);
        setStatus(QStringLiteral("Playing"));
    }
    noteMode();
}

void TForm1::advanceAtPlayEnd()
{
    noteMode();
    const int count = playl_->Count();
    if (count == 0 || playl_->realboxItems().Count() == 0)
        return;
    int current = playindex().toInt();
    // Playback ends after the last entry unless Repeat is on.
    if (!repeat() && current + 1 == playl_->realboxItems().Count())
        return;
    if (playl_->ListBox1.ItemIndex() < 0)
        playl_->ListBox1.setItemIndex(0);
    // Entries were removed meanwhile.
    if (current > count - 1) {
        playl_->setPlayindex(QStringLiteral("0"));
        current = 0;
    }
    // Only the path list follows; the user's highlight stays.
    playl_->ListBox1.setItemIndex(current + 1 == count ? 0 : current + 1);
    player_->Stop();
    playbt1();
}

void TForm1::step(int deltaMs)
{
    if (player_->Mode() != psPlaying)
        return;
    Slider1->setValue(Slider1->Value() + deltaMs); // the slider clamps
    player_->Pause(true);
    player_->SetPosition(uint32_t(Slider1->Value()));
    player_->Pause(false);
    setcurrenttime1();
    emit seeked(Slider1->Value());
}

void TForm1::setcurrenttime1()
{
    if (player_->Mode() != psPlaying)
        return;
    const QString text = display::ElapsedTimeText(player_->Position());
    if (text == realtimeedit->text())
        return;
    // "h:mm:ss" is drawn smaller, so that it keeps to the room of "mm:ss" beside the rate labels.
    const int pixels = text.size() > 5 ? 14 : 19;
    if (realtimeedit->font().pixelSize() != pixels) {
        QFont font = realtimeedit->font();
        font.setPixelSize(pixels);
        realtimeedit->setFont(font);
    }
    realtimeedit->setText(text);
    // Digits are equally wide in the display font, so the size follows the
    // number of characters; measuring the text every second costs more than
    // anything else the window does while playing, the spectrum aside.
    if (text.size() != elapsedFittedLength_) {
        elapsedFittedLength_ = text.size();
        if (realtimeedit->sizeHint() != realtimeedit->size())
            realtimeedit->adjustSize();
    }
}

void TForm1::seekStarted()
{
    seekDragging_ = player_->Mode() == psPlaying || player_->Mode() == psPaused;
    followPlayback();
}

void TForm1::seekFinished()
{
    // A drag while paused moves the position as well: resume goes on from there.
    const player::TPlayState mode = player_->Mode();
    if (mode == psPlaying || mode == psPaused) {
        player_->SetPosition(uint32_t(Slider1->Value()));
        realtimeedit->setText(display::ElapsedTimeText(player_->Position()));
        emit seeked(Slider1->Value());
    }
    seekDragging_ = false;
    followPlayback();
}

void TForm1::volumeMoved()
{
    player_->SetVolume(Slider2->Value());
    emit volumeChanged(Slider2->Value());
}

void TForm1::volumeup1()
{
    Slider2->setValue(Slider2->Value() + 2);
}

void TForm1::volumedown1()
{
    Slider2->setValue(Slider2->Value() - 2);
}

void TForm1::eqchange()
{
    const int band = equalizer_->Label1->text().toInt();
    // Another number changes no gain; the gains are handed over all the same.
    if (band >= 1 && band <= player::kEQBandCount)
        EQGains[size_t(band - 1)] = equalizer_->Gains()[size_t(band - 1)];
    player_->SetEQGains(EQGains);
}

void TForm1::onPositionTick()
{
    if (player_->Mode() == psPlaying && Slider1->MaxValue() != 0)
        Slider1->setValue(int(std::min<uint32_t>(player_->Position(), INT_MAX)));
}

void TForm1::onTrackTimeTick()
{
    if (player_->Mode() != psPlaying)
        return;
    setcurrenttime1();
    timersec_ = QString::number(player_->PlayLength() / 1000);
}

void TForm1::onStatusTick()
{
    const player::TPlayState before = lastMode_;
    noteMode();
    bool changed = lastMode_ != before;
    if (!statusHeld_)
        changed |= setStatus(display::StatusText(player_->Mode()));
    // Clears the last frame once playback stopped or paused.
    if (player_->Mode() != psPlaying && GaugePaintBox->Shown() != &GaugePaintBox->BackgroundBitmap()) {
        GaugePaintBox->ShowBackground();
        changed = true;
    }
    // Every change of the mode and every command wake the timer again, so
    // after a quiet second it sleeps: a program at rest wakes for nothing.
    quietStatusTicks_ = changed ? 0 : quietStatusTicks_ + 1;
    if (quietStatusTicks_ == kQuietStatusTicks)
        Timer_Stat.stop();
}

void TForm1::wakeStatusTimer()
{
    quietStatusTicks_ = 0;
    if (statusTimerOn_ && !Timer_Stat.isActive())
        Timer_Stat.start();
}

bool TForm1::setStatus(const QString& text)
{
    statusHeld_ = false;
    if (Label1->text() == text)
        return false;
    Label1->setText(text);
    Label1->adjustSize();
    return true;
}

void TForm1::noteMode()
{
    const player::TPlayState mode = player_->Mode();
    if (mode == lastMode_)
        return;
    lastMode_ = mode;
    statusHeld_ = false;
    emit playStateChanged();
}

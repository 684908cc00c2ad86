// Playing one song: the synthesizer's player as the source of the plug-in's
// shared decode thread, and what the record asks about the open song.

#include "Playback.h"

#include "Module.h"
#include "Renderer.h"

#include "platform/msgbox.h"

#include <algorithm>

namespace midi {
namespace {

class SongSource final : public plugin::PcmSource {
  public:
    SongSource(std::unique_ptr<SongPlayer> player, int32_t lengthMs) : player_(std::move(player)), lengthMs_(lengthMs)
    {
    }
    int read(void* out, int bytes) override
    {
        return player_->render(static_cast<int16_t*>(out), bytes / kFrameBytes) * kFrameBytes;
    }
    int32_t seek(int32_t ms) override
    {
        const int32_t target = std::min(ms, lengthMs_);
        return player_->seek(target) ? target : -1;
    }

  private:
    static constexpr int kFrameBytes = kChannels * kBits / 8;
    std::unique_ptr<SongPlayer> player_;
    int32_t lengthMs_;
};

constexpr plugin::StreamFormat kSongFormat{
    .rate = kSampleRate, .channels = kChannels, .bits = kBits, .bitrateKbps = kSampleRate * kChannels * kBits / 1000};

plugin::OpenStream<SmfFile> openStream; // the song as parsed at Play
std::shared_ptr<Synth> keptSynth;       // host's thread only; idle while no song plays

// The synthesizer for the SoundFont in use, made once and kept between songs.
std::shared_ptr<Synth> synth_for_song(std::string* why)
{
    const std::string& soundFont = current_soundfont();
    if (soundFont.empty()) {
        *why = kNoSoundFontText;
        return nullptr;
    }
    if (!keptSynth || keptSynth->soundFont() != soundFont)
        keptSynth = Synth::Create(soundFont, why);
    return keptSynth;
}

} // namespace

plugin::StreamPlayback& playback()
{
    static plugin::StreamPlayback instance(plugin_module());
    return instance;
}

const plugin::OpenStream<SmfFile>& open_stream()
{
    return openStream;
}

int Play(const char* file)
{
    // Another stream still open is stopped first.
    Stop();
    playback().clearPause();
    SmfFile song;
    const SmfError error = LoadMidiFile(file ? file : "", song);
    if (error != SmfError::None)
        return error == SmfError::Unreadable ? -1 : 1;
    openStream.opened(file);

    std::string why;
    std::shared_ptr<Synth> synth = synth_for_song(&why);
    std::unique_ptr<SongPlayer> player;
    if (synth) {
        player = std::make_unique<SongPlayer>(synth, song);
        if (!player->start())
            why = "the synthesizer refused the file";
    }
    if (!synth || !why.empty()) {
        MessageBox(host_window(), (std::string("Cannot play ") + file + ":\n" + why).c_str(), kDescription,
                   MB_ICONERROR);
        return 1;
    }
    if (playback().start(std::make_unique<SongSource>(std::move(player), song.lengthMs), kSongFormat) != 0)
        return 1;
    openStream.started(std::move(song));
    return 0;
}

void Stop()
{
    // A thread left running keeps its synthesizer: it is never handed out again.
    if (!playback().stop())
        keptSynth.reset();
    openStream.stopped();
}

int GetLength()
{
    const SmfFile* playing = openStream.current();
    return playing ? playing->lengthMs : -1;
}

void release_synth()
{
    keptSynth.reset();
}

} // namespace midi

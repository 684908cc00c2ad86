#include "Renderer.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace midi {

constexpr int kPlayerTurnFrames = 64; // the synthesizer calls the player once per 64 frames

std::shared_ptr<Synth> Synth::Create(const std::string& soundFont, std::string* why)
{
    const FluidFunctions* f = LoadFluidSynth(why);
    if (!f)
        return nullptr;
    std::shared_ptr<Synth> s(new Synth(*f, soundFont));
    s->settings_ = f->new_fluid_settings();
    if (!s->settings_) {
        *why = "cannot create the synthesizer's settings";
        return nullptr;
    }
    f->fluid_settings_setnum(s->settings_, "synth.sample-rate", kSampleRate);
    f->fluid_settings_setnum(s->settings_, "synth.gain", 0.5);
    // A large SoundFont is not pinned in memory, and the synthesizer starts no threads.
    f->fluid_settings_setint(s->settings_, "synth.lock-memory", 0);
    f->fluid_settings_setint(s->settings_, "synth.cpu-cores", 1);
    f->fluid_settings_setstr(s->settings_, "player.timing-source", "sample");
    s->synth_ = f->new_fluid_synth(s->settings_);
    if (!s->synth_) {
        *why = "cannot create the synthesizer";
        return nullptr;
    }
    if (f->fluid_synth_sfload(s->synth_, soundFont.c_str(), 1) == FLUID_FAILED) {
        *why = "cannot load the SoundFont " + soundFont;
        return nullptr;
    }
    return s;
}

Synth::~Synth()
{
    if (synth_)
        fluid_.delete_fluid_synth(synth_);
    if (settings_)
        fluid_.delete_fluid_settings(settings_);
}

SongPlayer::SongPlayer(std::shared_ptr<Synth> synth, const SmfFile& song)
    : synth_(std::move(synth)), bytes_(song.synthBytes), tempo_(song.tempo), endTick_(song.endTick),
      lengthMs_(song.lengthMs)
{
}

SongPlayer::~SongPlayer()
{
    stopPlayer();
}

bool SongPlayer::start()
{
    return restart(0);
}

// A fresh player from the song's start, moved to tick before its first sound:
// the player applies every program and controller change on the way there.
// A player the synthesizer refuses is dropped, and the song ends.
bool SongPlayer::restart(uint64_t tick)
{
    stopPlayer();
    const FluidFunctions& f = synth_->fluid();
    f.fluid_synth_all_sounds_off(synth_->handle(), -1);
    f.fluid_synth_system_reset(synth_->handle());
    framesPlayed_ = 0;
    player_ = f.new_fluid_player(synth_->handle());
    bool playing = player_ && f.fluid_player_add_mem(player_, bytes_.data(), bytes_.size()) == FLUID_OK &&
                   f.fluid_player_play(player_) == FLUID_OK;
    if (playing && tick > 0) {
        // The player reads the song at its first turn: one turn, unheard, then the seek.
        int16_t scratch[kPlayerTurnFrames * kChannels];
        f.fluid_synth_write_s16(synth_->handle(), kPlayerTurnFrames, scratch, 0, 2, scratch, 1, 2);
        playing = f.fluid_player_seek(player_, int(tick)) == FLUID_OK;
        f.fluid_synth_all_sounds_off(synth_->handle(), -1);
    }
    if (!playing)
        stopPlayer();
    return playing;
}

void SongPlayer::stopPlayer()
{
    if (player_) {
        synth_->fluid().fluid_player_stop(player_);
        synth_->fluid().delete_fluid_player(player_);
        player_ = nullptr;
    }
}

bool SongPlayer::seek(int32_t ms)
{
    const int32_t target = std::clamp(ms, 0, lengthMs_);
    if (!restart(std::min(tempo_.tickAt(target), endTick_)))
        return false;
    framesPlayed_ = int64_t(target) * kSampleRate / 1000;
    return true;
}

int SongPlayer::render(int16_t* interleaved, int frames)
{
    const FluidFunctions& f = synth_->fluid();
    const int64_t songFrames = int64_t(lengthMs_) * kSampleRate / 1000;
    const int64_t tailFrames = int64_t(kMaxTailMs) * kSampleRate / 1000;
    if (!player_ || framesPlayed_ >= songFrames + tailFrames)
        return 0;
    if (f.fluid_synth_write_s16(synth_->handle(), frames, interleaved, 0, 2, interleaved, 1, 2) != FLUID_OK)
        return 0;
    // After the song's last event the notes and the reverb ring out until a
    // block is quiet.
    if (framesPlayed_ >= songFrames) {
        constexpr int kQuiet = 16;
        if (std::all_of(interleaved, interleaved + kChannels * frames,
                        [](int16_t s) { return std::abs(int(s)) <= kQuiet; }))
            return 0;
    }
    framesPlayed_ += frames;
    return frames;
}

bool IsSoundFontFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char head[12] = {};
    if (!file.read(head, sizeof head))
        return false;
    return std::string_view(head, 4) == "RIFF" && std::string_view(head + 8, 4) == "sfbk";
}

} // namespace midi

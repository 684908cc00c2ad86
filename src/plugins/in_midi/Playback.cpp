// Playing one song: the record's playback operations on the host's thread and
// the decode thread that renders blocks of PCM into the host's output module.
//
// One playing stream is a Session. The decode thread holds a reference of its
// own, so a thread that does not stop in time can be left to finish with
// everything it uses (its synthesizer is then never handed out again).

#include "Playback.h"

#include "Module.h"
#include "Renderer.h"

#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <strings.h>
#include <thread>
#include <vector>

namespace midi {
namespace {

constexpr int kBlockFrames = 576;
constexpr int kBlockBytes = kBlockFrames * kChannels * kBits / 8;
constexpr int kStopWaitMs = 4000;
constexpr int kNoRoomSleepMs = 20;
constexpr int kDrainSleepMs = 30;

struct Session {
    SmfFile song;
    std::unique_ptr<SongPlayer> player; // used by the decode thread between Play and Stop
    std::vector<int16_t> samples = std::vector<int16_t>(size_t(kBlockFrames) * kChannels * 2); // room for a DSP

    std::atomic<bool> kill{false};
    std::atomic<int32_t> seekRequest{-1};   // ms; -1 when none
    std::atomic<int32_t> decodePosition{0}; // ms of the first sample not yet written

    std::mutex mutex;             // guards finished; with wake, lets sleeps end at a kill
    std::condition_variable wake; // signalled when kill is set or the thread finishes
    bool finished = false;
    std::thread thread;
    bool outputOpen = false;

    // Sleeps unless the kill flag is set (or becomes set meanwhile).
    void sleep(int ms)
    {
        std::unique_lock lock(mutex);
        wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return kill.load(); });
    }
};

std::shared_ptr<Session> current; // host's thread only
std::shared_ptr<Synth> keptSynth; // host's thread only; idle while no session plays
std::string lastPlayedPath;
bool paused = false;
int pan = 0; // the last pan the host gave, for the next stream's output

TOutModule* output()
{
    return plugin_module().OutModule;
}

void decode_loop(Session& s)
{
    TInModule& m = plugin_module();
    TOutModule* out = m.OutModule;
    constexpr int frameBytes = kChannels * kBits / 8;
    const int maxFrames = int(s.samples.size()) / kChannels;
    int64_t written = 0; // frames since the seek base
    int32_t seekBase = 0;
    bool ending = false;

    while (!s.kill) {
        int32_t request = s.seekRequest.load();
        if (request >= 0) {
            const int32_t target = std::min(request, s.song.lengthMs);
            if (s.player->seek(target)) {
                s.decodePosition = target;
                seekBase = target;
                out->Flush(target);
                written = 0;
                ending = false;
            }
            s.seekRequest.compare_exchange_strong(request, -1); // a newer request stays
            continue;
        }
        if (ending) {
            if (out->IsPlaying()) {
                s.sleep(kDrainSleepMs);
                continue;
            }
            PostMessage(m.MainWindow, PLUGIN_EOF, 0, 0);
            break;
        }
        const bool dsp = m.DSPIsActive && m.DSPIsActive();
        if (out->CanWrite() < (dsp ? 2 : 1) * kBlockBytes) {
            s.sleep(kNoRoomSleepMs);
            continue;
        }
        int16_t* buffer = s.samples.data();
        int frames = s.player->render(buffer, kBlockFrames);
        if (frames <= 0) {
            out->Write(reinterpret_cast<char*>(buffer), 0);
            ending = true;
            continue;
        }
        if (m.SpectrumAddPCM)
            m.SpectrumAddPCM(buffer, kChannels, kBits, s.decodePosition);
        if (m.VisAddPCM)
            m.VisAddPCM(buffer, kChannels, kBits, s.decodePosition);
        if (dsp && m.DSPDoSamples)
            frames = std::clamp(m.DSPDoSamples(buffer, frames, kBits, kChannels, kSampleRate), 0, maxFrames);
        if (s.kill)
            break;
        out->Write(reinterpret_cast<char*>(buffer), frames * frameBytes);
        written += frames;
        s.decodePosition = static_cast<int32_t>(seekBase + written * 1000 / kSampleRate);
    }
}

void decode_thread(std::shared_ptr<Session> s)
{
    decode_loop(*s);
    std::lock_guard lock(s->mutex);
    s->finished = true;
    s->wake.notify_all();
}

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

int Play(const char* file)
{
    // Another stream still open is stopped first.
    Stop();
    paused = false;
    auto s = std::make_shared<Session>();
    const SmfError error = LoadMidiFile(file ? file : "", s->song);
    if (error != SmfError::None)
        return error == SmfError::Unreadable ? -1 : 1;
    lastPlayedPath = file;

    std::string why;
    std::shared_ptr<Synth> synth = synth_for_song(&why);
    if (synth) {
        s->player = std::make_unique<SongPlayer>(synth, s->song);
        if (!s->player->start())
            why = "the synthesizer refused the file";
    }
    if (!synth || !why.empty()) {
        MessageBox(host_window(), ("Cannot play " + lastPlayedPath + ":\n" + why).c_str(), kDescription, MB_ICONERROR);
        return 1;
    }

    TInModule& m = plugin_module();
    TOutModule* out = m.OutModule;
    if (m.SetInfo)
        m.SetInfo(kSampleRate * kChannels * kBits / 1000, kSampleRate / 1000, kChannels, 1);
    if (!out)
        return 1;
    const int latency = out->Open(kSampleRate, kChannels, kBits, -1, -1);
    if (latency < 0)
        return 1;
    out->SetVolume(-666); // keeps the volume the output already has
    out->SetPan(pan);
    if (m.VisInit)
        m.VisInit(latency, kSampleRate);
    if (m.VisSetInfo)
        m.VisSetInfo(kSampleRate, kChannels);
    s->outputOpen = true;
    current = s;
    s->thread = std::thread(decode_thread, s);
    return 0;
}

void Stop()
{
    std::shared_ptr<Session> s = std::move(current);
    if (!s)
        return;
    if (s->thread.joinable()) {
        bool finished;
        {
            std::unique_lock lock(s->mutex);
            s->kill = true;
            s->wake.notify_all();
            finished = s->wake.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [&] { return s->finished; });
        }
        if (finished) {
            s->thread.join();
        } else {
            // The thread keeps its own reference and ends at its next check of the kill flag;
            // its synthesizer stays with it.
            s->thread.detach();
            keptSynth.reset();
            MessageBox(host_window(), "error asking thread to die", nullptr, MB_ICONERROR);
        }
    }
    if (s->outputOpen && output()) {
        output()->Close();
        if (plugin_module().VisDeInit)
            plugin_module().VisDeInit();
    }
}

void Pause()
{
    if (current && !paused) {
        paused = true;
        output()->Pause(1);
    }
}

void UnPause()
{
    if (current && paused) {
        paused = false;
        output()->Pause(0);
    }
}

int IsPaused()
{
    return paused ? 1 : 0;
}

int GetLength()
{
    return current ? current->song.lengthMs : -1;
}

int GetOutputTime()
{
    if (!current || !output())
        return 0;
    const int written = output()->GetWrittenTime();
    return current->decodePosition + output()->GetOutputTime() - written;
}

void SetOutputTime(int ms)
{
    if (current)
        current->seekRequest = std::max(ms, 0);
}

void SetVolume(int v)
{
    if (output())
        output()->SetVolume(v);
}

void SetPan(int p)
{
    pan = p;
    if (output())
        output()->SetPan(p);
}

bool current_song(const char* file, SmfFile& song)
{
    if (!current)
        return false;
    if (file && *file && strcasecmp(file, lastPlayedPath.c_str()) != 0)
        return false;
    song = current->song;
    return true;
}

const std::string& last_played_path()
{
    return lastPlayedPath;
}

void release_synth()
{
    keptSynth.reset();
}

} // namespace midi

// Playing one file: the record's playback operations on the host's thread and
// the decode thread that pushes blocks of PCM into the host's output module.
//
// One playing stream is a Session. The host's thread and the decode thread
// share it; the decode thread holds a reference of its own, so a thread that
// does not stop in time can be left to finish with everything it uses.

#include "Playback.h"

#include "MediaLibrary.h"
#include "Module.h"

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

namespace media {
namespace {

constexpr int kBlockFrames = 576;
constexpr int kStopWaitMs = 4000;
constexpr int kNoRoomSleepMs = 20;
constexpr int kDrainSleepMs = 30;
constexpr int kBits = 16;

struct Session {
    std::unique_ptr<Decoder> decoder; // used by the decode thread between Play and Stop
    Description description;          // taken at open, so the host's thread never calls the decoder
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples; // two blocks: the host's DSP may double a block

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
    const int frameBytes = s.channels * kBits / 8;
    const int blockBytes = frameBytes * kBlockFrames;
    const int maxFrames = int(s.samples.size()) / s.channels;
    int64_t written = 0; // frames since the seek base
    int32_t seekBase = 0;
    bool ending = false;

    while (!s.kill) {
        int32_t request = s.seekRequest.load();
        if (request >= 0) {
            if (s.decoder->seek(request)) {
                s.decodePosition = request;
                seekBase = request;
                out->Flush(request);
                written = 0;
                ending = false;
            }
            // A seek the stream refuses (beyond the end) is dropped; a newer request stays.
            s.seekRequest.compare_exchange_strong(request, -1);
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
        if (out->CanWrite() < (dsp ? 2 : 1) * blockBytes) {
            s.sleep(kNoRoomSleepMs);
            continue;
        }
        int16_t* buffer = s.samples.data();
        int frames = s.decoder->read(buffer, kBlockFrames);
        if (frames <= 0) {
            out->Write(reinterpret_cast<char*>(buffer), 0);
            ending = true;
            continue;
        }
        if (m.SpectrumAddPCM)
            m.SpectrumAddPCM(buffer, s.channels, kBits, s.decodePosition);
        if (m.VisAddPCM)
            m.VisAddPCM(buffer, s.channels, kBits, s.decodePosition);
        if (dsp && m.DSPDoSamples)
            frames = std::clamp(m.DSPDoSamples(buffer, frames, kBits, s.channels, s.rate), 0, maxFrames);
        if (s.kill)
            break;
        out->Write(reinterpret_cast<char*>(buffer), frames * frameBytes);
        written += frames;
        s.decodePosition = int32_t(seekBase + written * 1000 / s.rate);
    }
}

void decode_thread(std::shared_ptr<Session> s)
{
    decode_loop(*s);
    std::lock_guard lock(s->mutex);
    s->finished = true;
    s->wake.notify_all();
}

// The refusal of a file, in the plug-in's own box.
void refuse(const char* file, const std::string& why)
{
    const std::string text = std::string("Cannot play \"") + file + "\".\n" + why;
    MessageBox(host_window(), text.c_str(), kDescription, MB_OK | MB_ICONERROR);
}

} // namespace

int Play(const char* file)
{
    // Another stream still open is stopped first; its decoder goes with it.
    Stop();
    paused = false;
    if (!file || !*file)
        return -1;
    std::string why;
    const DecoderTable* decoders = Decoders(why);
    if (!decoders) {
        refuse(file, why);
        return 1;
    }
    auto s = std::make_shared<Session>();
    s->decoder = decoders->open(MediaInput{file, nullptr, 0}, why);
    if (!s->decoder) {
        refuse(file, why);
        return 1;
    }
    lastPlayedPath = file;
    s->description = s->decoder->description();
    const StreamProperties& p = s->description.properties;
    s->rate = p.sampleRate;
    s->channels = p.outputChannels;
    s->samples.assign(std::size_t(s->channels) * kBlockFrames * 2, 0);

    TInModule& m = plugin_module();
    TOutModule* out = m.OutModule;
    if (m.SetInfo)
        m.SetInfo(p.bitrateKbps, s->rate / 1000, s->channels, 1);
    if (!out)
        return 1;
    const int latency = out->Open(s->rate, s->channels, kBits, -1, -1);
    if (latency < 0)
        return 1;
    out->SetVolume(-666); // keeps the volume the output already has
    out->SetPan(pan);
    if (m.VisInit)
        m.VisInit(latency, s->rate);
    if (m.VisSetInfo)
        m.VisSetInfo(s->rate, s->channels);
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
            // The thread keeps its own reference and ends at its next check of the kill flag.
            s->thread.detach();
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
    return current ? int(current->description.properties.lengthMs) : -1;
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
        current->seekRequest = ms < 0 ? 0 : ms;
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

bool current_stream(const char* file, Description& out)
{
    if (!current)
        return false;
    if (file && *file && strcasecmp(file, lastPlayedPath.c_str()) != 0)
        return false;
    out = current->description;
    return true;
}

const std::string& last_played_path()
{
    return lastPlayedPath;
}

} // namespace media

// Playing one file: the record's playback operations on the host's thread and
// the decode thread that pushes blocks of PCM into the host's output module.
//
// One playing stream is a Session. The host's thread and the decode thread
// share it; the decode thread holds a reference of its own, so a thread that
// does not stop in time can be left to finish with everything it uses. Such a
// thread is joined before the host may unload the library (EndDecodeThreads).

#include "Playback.h"

#include "Containers.h"
#include "Module.h"
#include "Settings.h"

#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

namespace pcmkit {
namespace {

constexpr int kBlockFrames = 576;
constexpr int kStopWaitMs = 4000;
constexpr int kQuitWaitMs = 4000; // for threads Stop already gave up on
constexpr int kNoRoomSleepMs = 20;
constexpr int kDrainSleepMs = 30;

struct Session {
    decoder* dec = nullptr; // used by the decode thread between Play and Stop
    pcm_format format{};
    std::vector<uint8_t> samples; // two blocks: the host's DSP may double a block
    int priority = THREAD_PRIORITY_NORMAL;

    // Taken at open, so the host's thread never calls into the decoder.
    int32_t lengthMs = -1;
    decoder_info info{};

    abort_flag kill{false};
    std::atomic<int32_t> seekRequest{-1};   // ms; -1 when none
    std::atomic<int32_t> decodePosition{0}; // ms of the first sample not yet written

    std::mutex mutex;             // guards finished; with wake, lets sleeps end at a kill
    std::condition_variable wake; // signalled when kill is set or the thread finishes
    bool finished = false;
    std::thread thread;
    bool outputOpen = false;

    ~Session() { decoder_destroy(dec); }

    // Sleeps unless the kill flag is set (or becomes set meanwhile).
    void sleep(int ms)
    {
        std::unique_lock lock(mutex);
        wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return kill.load(); });
    }
};

std::shared_ptr<Session> current; // host's thread only
// Sessions whose thread did not end within Stop's wait (host's thread only).
std::vector<std::shared_ptr<Session>> abandoned;
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
    const pcm_format f = s.format;
    const int frameSize = frame_bytes(f);
    const int blockBytes = frameSize * kBlockFrames;
    const int maxFrames = static_cast<int>(s.samples.size()) / frameSize;
    std::vector<int16_t> visual(f.bits > 16 ? static_cast<size_t>(f.channels) * kBlockFrames : 0);
    int64_t written = 0; // frames since the seek base
    int32_t seekBase = 0;
    bool ending = false;

    while (!s.kill) {
        int32_t request = s.seekRequest.load();
        if (request >= 0 && s.dec->ops->can_seek(s.dec)) {
            if (s.dec->ops->seek(s.dec, MulDiv64(request, f.rate, 1000), nullptr, &s.kill) == 0) {
                // A stopped stream's output may already belong to the next one.
                if (s.kill)
                    break;
                s.decodePosition = request;
                seekBase = request;
                out->Flush(request);
                written = 0;
                ending = false;
            }
            // A seek the decoder refuses (beyond the end) is dropped; a newer request stays.
            s.seekRequest.compare_exchange_strong(request, -1);
            continue;
        }
        if (ending) {
            if (out->IsPlaying()) {
                s.sleep(kDrainSleepMs);
                continue;
            }
            if (!s.kill)
                PostMessage(m.MainWindow, PLUGIN_EOF, 0, 0);
            break;
        }
        const bool dsp = m.DSPIsActive && m.DSPIsActive();
        if (s.kill)
            break;
        if (out->CanWrite() < (dsp ? 2 : 1) * blockBytes) {
            s.sleep(kNoRoomSleepMs);
            continue;
        }
        uint8_t* buffer = s.samples.data();
        int bytes = s.dec->ops->read(s.dec, buffer, blockBytes, &s.kill);
        if (s.kill)
            break;
        if (bytes <= 0) {
            out->Write(reinterpret_cast<char*>(buffer), 0);
            ending = true;
            continue;
        }
        // Visualisation takes at most 16 bits: the two most significant bytes.
        void* visualData = buffer;
        int visualBits = f.bits;
        if (f.bits > 16) {
            const int width = f.bits / 8;
            const int count = bytes / width;
            for (int i = 0; i < count; ++i)
                visual[i] = static_cast<int16_t>(buffer[i * width + width - 2] | buffer[i * width + width - 1] << 8);
            visualData = visual.data();
            visualBits = 16;
        }
        if (m.SpectrumAddPCM)
            m.SpectrumAddPCM(visualData, f.channels, visualBits, s.decodePosition);
        if (m.VisAddPCM)
            m.VisAddPCM(visualData, f.channels, visualBits, s.decodePosition);
        if (dsp && m.DSPDoSamples) {
            int frames = m.DSPDoSamples(buffer, bytes / frameSize, f.bits, f.channels, f.rate);
            bytes = std::clamp(frames, 0, maxFrames) * frameSize;
        }
        if (s.kill)
            break;
        out->Write(reinterpret_cast<char*>(buffer), bytes);
        written += bytes / frameSize;
        s.decodePosition = static_cast<int32_t>(seekBase + MulDiv64(1000, written, f.rate));
    }
}

void decode_thread(std::shared_ptr<Session> s)
{
    SetCurrentThreadPriority(s->priority);
    decode_loop(*s);
    std::lock_guard lock(s->mutex);
    s->finished = true;
    s->wake.notify_all();
}

} // namespace

int Play(const char* file)
{
    // Another stream still open is stopped first; its decoder goes with it.
    Stop();
    paused = false;
    auto s = std::make_shared<Session>();
    open_result result;
    s->dec = open_file(file, false, &s->kill, &result);
    if (!s->dec)
        return result == OPEN_NO_SOURCE ? -1 : 1;
    lastPlayedPath = file;

    TInModule& m = plugin_module();
    TOutModule* out = m.OutModule;
    s->format = s->dec->format;
    s->dec->ops->info(s->dec, &s->info);
    s->lengthMs = frames_to_ms(s->dec->ops->length(s->dec), s->format.rate);
    const pcm_format f = s->format;
    if (m.SetInfo)
        m.SetInfo(static_cast<int>(s->info.bitrate), f.rate / 1000, f.channels, 1);
    s->samples.assign(static_cast<size_t>(frame_bytes(f)) * kBlockFrames * 2, 0);
    if (!out)
        return 1;
    const int latency = out->Open(f.rate, f.channels, f.bits, -1, -1);
    if (latency < 0)
        return 1;
    out->SetVolume(-666); // keeps the volume the output already has
    out->SetPan(pan);
    if (m.VisInit)
        m.VisInit(latency, f.rate);
    if (m.VisSetInfo)
        m.VisSetInfo(f.rate, f.channels);
    s->outputOpen = true;
    s->priority = priority_value(cfg_priority);
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
            abandoned.push_back(s);
            MessageBox(host_window(), "error asking thread to die", nullptr, MB_ICONERROR);
        }
    }
    if (s->outputOpen && output()) {
        output()->Close();
        if (plugin_module().VisDeInit)
            plugin_module().VisDeInit();
    }
}

void EndDecodeThreads()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitWaitMs);
    std::erase_if(abandoned, [&](const std::shared_ptr<Session>& s) {
        bool finished;
        {
            std::unique_lock lock(s->mutex);
            finished = s->wake.wait_until(lock, until, [&] { return s->finished; });
        }
        if (finished)
            s->thread.join();
        return finished;
    });
    if (abandoned.empty())
        return;
    // Still running: the library stays mapped for good, so unloading it cannot
    // pull the code from under the thread.
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&EndDecodeThreads), &self) && self.dli_fname)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    for (auto& s : abandoned)
        s->thread.detach();
    abandoned.clear();
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
    return current ? current->lengthMs : -1;
}

int GetOutputTime()
{
    if (!current || !output())
        return 0;
    int written = output()->GetWrittenTime();
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

bool current_stream(const char* file, int32_t* lengthMs, decoder_info* info)
{
    if (!current)
        return false;
    if (file && *file && strcasecmp(file, lastPlayedPath.c_str()) != 0)
        return false;
    if (lengthMs)
        *lengthMs = current->lengthMs;
    if (info)
        *info = current->info;
    return true;
}

const std::string& last_played_path()
{
    return lastPlayedPath;
}

} // namespace pcmkit

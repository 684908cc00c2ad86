#include "StreamPlayback.h"

#include "platform/folders.h"
#include "platform/msgbox.h"
#include "platform/winmsg.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace plugin {
namespace {

constexpr int kBlockFrames = 576;
constexpr int kStopWaitMs = 4000;
constexpr int kQuitWaitMs = 4000; // for the threads stop already left running
// With no room in the output, the thread sleeps a quarter of what the output
// still holds, within these bounds: a full output is topped up in bursts, a
// few times a second, while one that holds little is asked again soon.
constexpr int kNoRoomSleepMs = 20;
constexpr int kLongestNoRoomSleepMs = 100;
constexpr int kPausedSleepMs = 1000; // a paused output takes nothing: going on ends the sleep
constexpr int kDrainSleepMs = 30;
constexpr int kVisualBits = 16;

} // namespace

// Shared by the host's thread and the decode thread, which holds a reference
// of its own, so a thread that does not stop in time can be left to finish
// with everything it uses.
struct StreamPlayback::Session {
    std::unique_ptr<PcmSource> source;
    StreamFormat format;
    std::vector<uint8_t> samples; // two blocks: the host's DSP may double a block
    std::optional<int> priority;

    std::atomic<int32_t> seekRequest{-1};   // ms; -1 when none
    std::atomic<int32_t> decodePosition{0}; // ms of the first sample not yet written
    std::atomic<bool> paused{false};

    std::mutex mutex;             // guards finished and nudges; with wake, lets sleeps end
    std::condition_variable wake; // signalled at a kill, a nudge, or when the thread finishes
    bool finished = false;
    uint32_t nudges = 0; // bumped by a seek request or a pause change, each of which ends a sleep
    std::thread thread;

    // The source's stop flag: set by stop, read by every pass of the loop.
    std::atomic<bool>& kill() { return source->stopping_; }

    // Sleeps unless the kill flag is set; a kill or a nudge ends the sleep.
    void sleep(int ms)
    {
        std::unique_lock lock(mutex);
        const uint32_t seen = nudges;
        wake.wait_for(lock, std::chrono::milliseconds(ms), [&] { return kill().load() || nudges != seen; });
    }

    template <class Change> void nudge(Change change)
    {
        {
            std::lock_guard lock(mutex);
            change();
            ++nudges;
        }
        wake.notify_all();
    }

    static int noRoomSleepMs(TOutModule& out)
    {
        const int64_t buffered = int64_t(out.GetWrittenTime()) - out.GetOutputTime();
        return int(std::clamp<int64_t>(buffered / 4, kNoRoomSleepMs, kLongestNoRoomSleepMs));
    }

    // The kill flag is looked at again before every call into the output: a
    // stopped stream's output may already belong to the next one.
    void decode(TInModule& m)
    {
        TOutModule* out = m.OutModule;
        const StreamFormat f = format;
        const int frameBytes = f.bits / 8 * f.channels;
        const int blockBytes = frameBytes * kBlockFrames;
        const int maxFrames = int(samples.size()) / frameBytes;
        std::vector<int16_t> visual(f.bits > kVisualBits ? std::size_t(f.channels) * kBlockFrames : 0);
        int64_t written = 0; // frames since the seek base
        int32_t seekBase = 0;
        bool ending = false;

        while (!kill()) {
            int32_t request = seekRequest.load();
            if (request >= 0 && source->canSeek()) {
                if (const int32_t reached = source->seek(request); reached >= 0) {
                    if (kill())
                        break;
                    decodePosition = reached;
                    seekBase = reached;
                    out->Flush(reached);
                    written = 0;
                    ending = false;
                }
                seekRequest.compare_exchange_strong(request, -1); // a newer request stays
                continue;
            }
            if (ending) {
                if (out->IsPlaying()) {
                    sleep(kDrainSleepMs);
                    continue;
                }
                if (!kill())
                    PostMessage(m.MainWindow, PLUGIN_EOF, 0, 0);
                break;
            }
            const bool dsp = m.DSPIsActive && m.DSPIsActive();
            if (kill())
                break;
            if (out->CanWrite() < (dsp ? 2 : 1) * blockBytes) {
                sleep(paused ? kPausedSleepMs : noRoomSleepMs(*out));
                continue;
            }
            uint8_t* buffer = samples.data();
            int bytes = source->read(buffer, blockBytes);
            if (kill())
                break;
            if (bytes <= 0) {
                out->Write(reinterpret_cast<char*>(buffer), 0);
                ending = true;
                continue;
            }
            // Visualisation takes at most 16 bits: the two most significant bytes.
            void* visualData = buffer;
            int visualBits = f.bits;
            if (f.bits > kVisualBits) {
                const int width = f.bits / 8;
                const int count = bytes / width;
                for (int i = 0; i < count; ++i)
                    visual[i] = int16_t(buffer[i * width + width - 2] | buffer[i * width + width - 1] << 8);
                visualData = visual.data();
                visualBits = kVisualBits;
            }
            if (m.SpectrumAddPCM)
                m.SpectrumAddPCM(visualData, f.channels, visualBits, decodePosition);
            if (m.VisAddPCM)
                m.VisAddPCM(visualData, f.channels, visualBits, decodePosition);
            if (dsp && m.DSPDoSamples) {
                const int frames = m.DSPDoSamples(buffer, bytes / frameBytes, f.bits, f.channels, f.rate);
                bytes = std::clamp(frames, 0, maxFrames) * frameBytes;
            }
            if (kill())
                break;
            out->Write(reinterpret_cast<char*>(buffer), bytes);
            written += bytes / frameBytes;
            // Rounded to the nearest millisecond.
            decodePosition = int32_t(seekBase + (written * 1000 + f.rate / 2) / f.rate);
        }
    }

    static void run(std::shared_ptr<Session> s, TInModule* m)
    {
        if (s->priority)
            SetCurrentThreadPriority(*s->priority); // best effort: a refused raise keeps what it may
        s->decode(*m);
        std::lock_guard lock(s->mutex);
        s->finished = true;
        s->wake.notify_all();
    }
};

StreamPlayback::~StreamPlayback()
{
    // Only at an exit without Quit: no thread may end on a joinable handle.
    if (session_)
        session_->thread.detach();
    for (const std::shared_ptr<Session>& s : leftRunning_)
        s->thread.detach();
}

int StreamPlayback::start(std::unique_ptr<PcmSource> source, const StreamFormat& format,
                          std::optional<int> threadPriority)
{
    stop();
    paused_ = false;
    TInModule& m = module_;
    TOutModule* out = output();
    if (m.SetInfo)
        m.SetInfo(format.bitrateKbps, format.rate / 1000, format.channels, 1);
    if (!out)
        return 1;
    const int latency = out->Open(format.rate, format.channels, format.bits, -1, -1);
    if (latency < 0)
        return 1;
    out->SetVolume(-666); // keeps the volume the output already has
    out->SetPan(pan_);
    if (m.VisInit)
        m.VisInit(latency, format.rate);
    if (m.VisSetInfo)
        m.VisSetInfo(format.rate, format.channels);

    auto s = std::make_shared<Session>();
    s->source = std::move(source);
    s->format = format;
    s->samples.assign(std::size_t(format.bits / 8 * format.channels) * kBlockFrames * 2, 0);
    s->priority = threadPriority;
    session_ = s;
    s->thread = std::thread(Session::run, s, &module_);
    return 0;
}

bool StreamPlayback::stop()
{
    std::shared_ptr<Session> s = std::move(session_);
    if (!s)
        return true;
    bool finished;
    {
        std::unique_lock lock(s->mutex);
        s->kill() = true;
        s->wake.notify_all();
        finished = s->wake.wait_for(lock, std::chrono::milliseconds(kStopWaitMs), [&] { return s->finished; });
    }
    if (finished) {
        s->thread.join();
    } else {
        // The thread keeps its own reference and ends at its next check of the kill flag.
        leftRunning_.push_back(s);
        MessageBox(module_.MainWindow, "error asking thread to die", nullptr, MB_ICONERROR);
    }
    if (output()) {
        output()->Close();
        if (module_.VisDeInit)
            module_.VisDeInit();
    }
    return finished;
}

void StreamPlayback::endLeftThreads()
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kQuitWaitMs);
    std::erase_if(leftRunning_, [&](const std::shared_ptr<Session>& s) {
        bool finished;
        {
            std::unique_lock lock(s->mutex);
            finished = s->wake.wait_until(lock, until, [&] { return s->finished; });
        }
        if (finished)
            s->thread.join();
        return finished;
    });
    if (leftRunning_.empty())
        return;
    // Still running: the library stays mapped for good, so unloading the
    // plug-in cannot pull the code from under the thread.
    Dl_info self{};
    if (dladdr(reinterpret_cast<void*>(&Session::run), &self) && self.dli_fname)
        dlopen(self.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    for (const std::shared_ptr<Session>& s : leftRunning_)
        s->thread.detach();
    leftRunning_.clear();
}

void StreamPlayback::pause(bool on)
{
    if (!session_ || paused_ == on)
        return;
    paused_ = on;
    output()->Pause(on ? 1 : 0);
    session_->nudge([&] { session_->paused = on; });
}

int StreamPlayback::outputTime() const
{
    if (!session_ || !output())
        return 0;
    const int written = output()->GetWrittenTime();
    return session_->decodePosition + output()->GetOutputTime() - written;
}

void StreamPlayback::seek(int ms)
{
    if (session_)
        session_->nudge([&] { session_->seekRequest = std::max(ms, 0); });
}

void StreamPlayback::setVolume(int volume)
{
    if (output())
        output()->SetVolume(volume);
}

void StreamPlayback::setPan(int pan)
{
    pan_ = pan;
    if (output())
        output()->SetPan(pan);
}

} // namespace plugin

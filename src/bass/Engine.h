// The engine: the output device, the mixing thread, and the table of channels.
//
// Locks:
// - lifecycleLock_ serialises BASS_Init and BASS_Free (held for the whole of each).
// - lock_ guards the running flag, the runtime's device pointer, the channel
//   table and the effect-owner table. Held briefly; never around a callback or
//   a channel lock, so a callback may call anything but Init and Free.
// - spectrumLock_ guards the FFT plan and its buffers.
// The mixing thread takes lock_ once per wake-up to list the playing channels
// and to start or stop the device, then works on the channels through their
// own locks (Channel.h). It also runs the clock of a device that has none of
// its own (the silent and capture devices), so each tick wakes one thread.
//
// The system's sound output is opened by the mixing thread as it begins, so
// that BASS_Init does not wait for the sound servers; until then the runtime
// has no device, and starting it is left to the opening.
//
// At rest (nothing playing, nothing left in the ring) the mixing thread sleeps
// until a channel starts, and the device is stopped; a capture device keeps
// its real-time clock (writing silence) while any channel exists.
#pragma once

#include "Channel.h"
#include "OutputDevice.h"
#include "bass.h"

#include <semaphore.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

namespace bass {

class Engine {
  public:
    static Engine& instance();

    int init(int device, DWORD freq, HWND win);
    int free();
    // At process exit or unload of the library without free(): stops the mixer
    // and closes the device. Safe from any thread, the mixing thread included.
    void shutdown();
    int start();
    int stop();
    int info(BASS_INFO& info);

    int setVolumes(int music, int sample, int stream);
    int getVolumes(int* music, int* sample, int* stream);

    // The output rate for a channel being made; 0 with error BASS_ERROR_INIT.
    unsigned outputRate(int& error);
    DWORD newHandle();
    // Adds a channel made for this engine; BASS_ERROR_INIT when it was freed meanwhile.
    int add(std::shared_ptr<Channel> channel);
    std::shared_ptr<Channel> find(DWORD handle, int& error);
    // Takes a channel out of the table and releases it; kind filter: music or streams.
    int remove(DWORD handle, bool music);

    void setEffectOwner(HFX fx, DWORD channel);
    void forgetEffect(HFX fx);
    std::shared_ptr<Channel> findEffectOwner(HFX fx, int& error);

    // 256 magnitudes of the channel's newest 512 samples; false when FFTW is missing.
    bool spectrum(const Channel& channel, float* out);

    bool onMixingThread() const;
    // A channel started playing: the mixer, resting while nothing played, mixes again.
    void wakeMixer();

  private:
    Engine() = default;
    struct Runtime;
    void mixLoop(Runtime& rt);
    // Opens the system's sound output on the mixing thread, before it first
    // mixes; one that cannot be opened or started is replaced by the silent device.
    void openSystemOutput(Runtime& rt);
    // Stops and closes the device, if it was opened.
    static void closeDevice(Runtime& rt);
    // Sleeps until the mixer has work: a post on the wake semaphore, or the
    // next tick of a device this thread runs.
    void waitForWork(Runtime& rt);
    // Lists the playing channels, and starts or stops the device as there is
    // anything to mix or to play out (playingOut: ended channels still in the ring).
    void listPlaying(Runtime& rt, std::vector<std::shared_ptr<Channel>>& playing, bool playingOut);

    std::mutex lifecycleLock_;
    std::mutex lock_;
    std::unique_ptr<Runtime> runtime_; // lock_ (created and destroyed under lifecycleLock_ too)
    std::unordered_map<DWORD, std::shared_ptr<Channel>> channels_;
    std::unordered_map<HFX, DWORD> effectOwners_;
    std::atomic<DWORD> nextHandle_{1};
    std::atomic<int> volumes_[3] = {100, 100, 100}; // music, sample, stream
    std::atomic<std::thread::id> mixingThread_{};
    std::mutex spectrumLock_;
};

} // namespace bass

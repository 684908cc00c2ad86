// One playing stream of a plug-in: the record's transport operations on the
// host's thread and the decode thread that pushes blocks of PCM from a source
// into the host's output module.
#pragma once

#include "player/plugin_api.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace plugin {

// What a plug-in decodes; used only by the decode thread between start and stop.
class PcmSource {
  public:
    virtual ~PcmSource() = default;
    // Fills up to bytes bytes (whole frames) of interleaved samples in the
    // stream's format; 0 or less at the end.
    virtual int read(void* out, int bytes) = 0;
    // A request made while the source cannot seek waits until it can.
    virtual bool canSeek() { return true; }
    // Moves to ms: the position reached, or -1 when the source refuses (the
    // request is then dropped).
    virtual int32_t seek(int32_t ms) = 0;

    // Set for good when the stream is stopped. The source's own opening, reads
    // and seeks may watch it to give up early.
    const std::atomic<bool>& stopping() const { return stopping_; }

  private:
    friend class StreamPlayback;
    std::atomic<bool> stopping_{false};
};

struct StreamFormat {
    int rate = 0;
    int channels = 0;
    int bits = 16;       // 8-bit samples are unsigned, wider ones signed little-endian
    int bitrateKbps = 0; // for the host's display
};

class StreamPlayback {
  public:
    explicit StreamPlayback(TInModule& module) : module_(module) {}
    ~StreamPlayback();

    // Opens the output and starts the decode thread, at threadPriority when
    // given (a THREAD_PRIORITY_* value): 0 playing, 1 when the output cannot
    // be opened. A stream still playing is stopped first.
    int start(std::unique_ptr<PcmSource> source, const StreamFormat& format,
              std::optional<int> threadPriority = std::nullopt);
    // Stops the decode thread (waiting at most 4 s) and closes the output; the
    // paused flag stays until the next start. False when the thread had to be
    // left running: it keeps its source and ends at its next check.
    bool stop();
    // Before the host may unload the plug-in: waits (at most 4 s in all) for
    // the threads stop left running; one still running keeps the library mapped.
    void endLeftThreads();

    void pause(bool on);
    bool paused() const { return paused_; }
    void clearPause() { paused_ = false; }
    int outputTime() const;
    void seek(int ms);
    void setVolume(int volume);
    void setPan(int pan);

  private:
    struct Session;
    TOutModule* output() const { return module_.OutModule; }

    TInModule& module_;
    std::shared_ptr<Session> session_;                  // host's thread only
    std::vector<std::shared_ptr<Session>> leftRunning_; // host's thread only
    bool paused_ = false;
    int pan_ = 0; // the last pan the host gave, for the next stream's output
};

} // namespace plugin

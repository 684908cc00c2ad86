// One playing stream of a plug-in: the record's transport operations on the
// host's thread and the decode thread that pushes 16-bit PCM blocks from a
// source into the host's output module.
#pragma once

#include "player/plugin_api.h"

#include <cstdint>
#include <memory>

namespace plugin {

// What a plug-in decodes; used only by the decode thread between start and stop.
class PcmSource {
  public:
    virtual ~PcmSource() = default;
    // Fills up to frames frames of interleaved 16-bit samples; 0 at the end.
    virtual int read(int16_t* out, int frames) = 0;
    // Moves to ms: the position reached, or -1 when the source refuses (the
    // request is then dropped).
    virtual int32_t seek(int32_t ms) = 0;
};

struct StreamFormat {
    int rate = 0;
    int channels = 0;
    int bitrateKbps = 0; // for the host's display
};

class StreamPlayback {
  public:
    explicit StreamPlayback(TInModule& module) : module_(module) {}

    // Opens the output and starts the decode thread: 0 playing, 1 when the
    // output cannot be opened. A stream still playing is stopped first.
    int start(std::unique_ptr<PcmSource> source, const StreamFormat& format);
    // Stops the decode thread (waiting at most 4 s) and closes the output.
    // False when the thread had to be left running; it keeps its source and
    // ends at its next check.
    bool stop();
    bool playing() const { return session_ != nullptr; }

    void pause(bool on);
    bool paused() const { return paused_; }
    int outputTime() const;
    void seek(int ms);
    void setVolume(int volume);
    void setPan(int pan);

  private:
    struct Session;
    TOutModule* output() const { return module_.OutModule; }

    TInModule& module_;
    std::shared_ptr<Session> session_; // host's thread only
    bool paused_ = false;
    int pan_ = 0; // the last pan the host gave, for the next stream's output
};

} // namespace plugin

// Decoding in bursts. The mixer takes a few milliseconds of sound at a time;
// a decoder woken for each such piece starts with cold caches every time and
// costs about twice what it costs when it runs for half a second of sound at
// once. ReadAheadSource sits between a file's decoder and its channel and
// fills a buffer of about half a second whenever it runs dry. File streams and
// music modules use it; user streams are asked for their frames as they are due.
#pragma once

#include "Source.h"

#include <memory>
#include <vector>

namespace bass {

class ReadAheadSource final : public Source {
  public:
    // channels: of the frames the decoder writes; frames: the burst size.
    ReadAheadSource(std::unique_ptr<Source> decoder, unsigned channels, std::size_t frames);

    std::size_t read(int16_t* out, std::size_t frames) override;
    bool seek(uint64_t frame) override;

  private:
    std::unique_ptr<Source> decoder_;
    unsigned channels_;
    std::size_t burstFrames_;
    std::vector<int16_t> buffer_; // made at the first read: a stream that never plays costs nothing
    std::size_t next_ = 0;        // first buffered frame not yet handed on
    std::size_t end_ = 0;         // frames in the buffer
    bool decoderEnded_ = false;   // the decoder gave fewer frames than asked
};

// A read-ahead of about half a second at the stream's rate.
std::unique_ptr<Source> ReadAhead(std::unique_ptr<Source> decoder, const StreamFormat& format);

} // namespace bass

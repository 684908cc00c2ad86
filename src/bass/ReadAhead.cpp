#include "ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace bass {

ReadAheadSource::ReadAheadSource(std::unique_ptr<Source> decoder, unsigned channels, std::size_t frames)
    : decoder_(std::move(decoder)), channels_(channels), burstFrames_(frames)
{
}

std::size_t ReadAheadSource::read(int16_t* out, std::size_t frames)
{
    std::size_t done = 0;
    while (done < frames) {
        if (next_ == end_) {
            if (decoderEnded_)
                break;
            if (buffer_.empty())
                buffer_.resize(burstFrames_ * channels_);
            next_ = 0;
            end_ = std::min(decoder_->read(buffer_.data(), burstFrames_), burstFrames_);
            decoderEnded_ = end_ < burstFrames_;
            if (end_ == 0)
                break;
        }
        const std::size_t n = std::min(frames - done, end_ - next_);
        std::memcpy(out + done * channels_, buffer_.data() + next_ * channels_, n * channels_ * sizeof(int16_t));
        next_ += n;
        done += n;
    }
    return done;
}

bool ReadAheadSource::seek(uint64_t frame)
{
    if (!decoder_->seek(frame))
        return false; // reading goes on where it was
    next_ = end_ = 0;
    decoderEnded_ = false;
    return true;
}

std::unique_ptr<Source> ReadAhead(std::unique_ptr<Source> decoder, const StreamFormat& format)
{
    const std::size_t frames = std::clamp<std::size_t>(format.rate / 2, 4096, 96000);
    return std::make_unique<ReadAheadSource>(std::move(decoder), format.channels, frames);
}

} // namespace bass

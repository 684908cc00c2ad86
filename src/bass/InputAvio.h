// FFmpeg's reading of an InputData: an I/O context whose reads and seeks never
// leave the file section or memory block the InputData stands for.
#pragma once

#include "Source.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

#include <cerrno>

namespace bass {

class InputAvio {
  public:
    explicit InputAvio(InputData& data) : data_(data) {}
    ~InputAvio()
    {
        if (io_) {
            av_freep(&io_->buffer);
            avio_context_free(&io_);
        }
    }
    InputAvio(const InputAvio&) = delete;
    InputAvio& operator=(const InputAvio&) = delete;

    // The context for AVFormatContext::pb (kept here, freed with this object);
    // null when out of memory.
    AVIOContext* open()
    {
        auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferSize));
        io_ = buffer ? avio_alloc_context(buffer, kBufferSize, 0, this, &InputAvio::read, nullptr, &InputAvio::seek)
                     : nullptr;
        if (!io_)
            av_free(buffer);
        return io_;
    }

  private:
    static constexpr int kBufferSize = 32768;

    static int read(void* opaque, uint8_t* buffer, int size)
    {
        const long got = static_cast<InputAvio*>(opaque)->input_.read(buffer, std::size_t(size));
        if (got < 0)
            return AVERROR(EIO);
        return got == 0 ? AVERROR_EOF : int(got);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<InputAvio*>(opaque);
        if ((whence & ~AVSEEK_FORCE) == AVSEEK_SIZE)
            return int64_t(self->data_.size());
        const int64_t target = self->input_.seek(offset, whence & ~AVSEEK_FORCE);
        return target < 0 ? AVERROR(EINVAL) : target;
    }

    InputData& data_;
    InputCursor input_{data_};
    AVIOContext* io_ = nullptr;
};

} // namespace bass

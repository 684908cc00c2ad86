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
#include <cstdio>

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
        auto* self = static_cast<InputAvio*>(opaque);
        const long got = self->data_.read(self->position_, buffer, std::size_t(size));
        if (got < 0)
            return AVERROR(EIO);
        if (got == 0)
            return AVERROR_EOF;
        self->position_ += uint64_t(got);
        return int(got);
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<InputAvio*>(opaque);
        const int64_t size = int64_t(self->data_.size());
        int64_t target = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = int64_t(self->position_) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (target < 0 || target > size)
            return AVERROR(EINVAL);
        self->position_ = uint64_t(target);
        return target;
    }

    InputData& data_;
    uint64_t position_ = 0;
    AVIOContext* io_ = nullptr;
};

} // namespace bass

#include "Source.h"
#include "bass.h"

#include <sys/stat.h>

namespace bass {

std::unique_ptr<InputData> InputData::Open(bool mem, const void* file, uint32_t offset, uint32_t length, int& error)
{
    if (!file) {
        error = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    std::unique_ptr<InputData> data(new InputData);
    if (mem) {
        if (length == 0) {
            error = BASS_ERROR_ILLPARAM;
            return nullptr;
        }
        data->memory_ = static_cast<const uint8_t*>(file) + offset;
        data->size_ = length;
        return data;
    }
    data->file_ = std::fopen(static_cast<const char*>(file), "rb");
    struct stat st;
    if (!data->file_ || fstat(fileno(data->file_), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    const uint64_t fileSize = uint64_t(st.st_size);
    if (offset > fileSize) {
        error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    data->base_ = offset;
    data->size_ = fileSize - offset;
    if (length != 0 && length < data->size_)
        data->size_ = length;
    return data;
}

InputData::~InputData()
{
    if (file_)
        std::fclose(file_);
}

long InputData::read(uint64_t pos, void* buffer, std::size_t count)
{
    if (pos >= size_)
        return 0;
    if (count > size_ - pos)
        count = std::size_t(size_ - pos);
    if (memory_) {
        std::copy(memory_ + pos, memory_ + pos + count, static_cast<uint8_t*>(buffer));
        return long(count);
    }
    // Sequential reads keep stdio's buffer; only a jump seeks.
    if (pos != filePos_ && fseeko(file_, off_t(base_ + pos), SEEK_SET) != 0)
        return -1;
    const std::size_t got = std::fread(buffer, 1, count, file_);
    filePos_ = pos + got;
    if (got < count)
        filePos_ = ~uint64_t(0); // position unknown after an error or a short read
    return got == 0 && std::ferror(file_) ? -1 : long(got);
}

long InputCursor::read(void* buffer, std::size_t count)
{
    const long got = data_->read(pos_, buffer, count);
    if (got > 0)
        pos_ += uint64_t(got);
    return got;
}

int64_t InputCursor::seek(int64_t offset, int whence)
{
    const int64_t size = int64_t(data_->size());
    int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = int64_t(pos_) + offset;
        break;
    case SEEK_END:
        target = size + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || target > size)
        return -1;
    pos_ = uint64_t(target);
    return target;
}

} // namespace bass

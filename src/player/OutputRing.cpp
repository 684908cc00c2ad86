#include "OutputRing.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace player {

bool OutputRing::Allocate()
{
    if (!bytes_)
        bytes_.reset(new (std::nothrow) char[kSize]);
    Clear();
    return Allocated();
}

void OutputRing::Release()
{
    bytes_.reset();
    Clear();
}

bool OutputRing::Put(const char* data, int length)
{
    if (!bytes_ || length < 0 || length >= Free())
        return false;
    if (length == 0)
        return true; // data may be null then
    const int first = std::min(length, kSize - wp_);
    std::memcpy(bytes_.get() + wp_, data, static_cast<std::size_t>(first));
    std::memcpy(bytes_.get(), data + first, static_cast<std::size_t>(length - first));
    wp_ = (wp_ + length) % kSize;
    return true;
}

int OutputRing::Take(char* out, int length)
{
    if (!bytes_ || length <= 0)
        return 0;
    const int n = std::min(length, Filled());
    if (n == 0)
        return 0;
    const int first = std::min(n, kSize - rp_);
    std::memcpy(out, bytes_.get() + rp_, static_cast<std::size_t>(first));
    std::memcpy(out + first, bytes_.get(), static_cast<std::size_t>(n - first));
    rp_ = (rp_ + n) % kSize;
    return n;
}

} // namespace player

// The output's ring buffer: 88,200 bytes, half a second of 44.1-kHz 16-bit
// stereo, allocated once and reused for every stream. RP = WP means empty, so
// at most 88,199 bytes are ever filled. Not locked: its owner excludes the
// writer and the reader from each other.
#pragma once

#include <memory>

namespace player {

class OutputRing {
  public:
    static constexpr int kSize = 88200;

    bool Allocate(); // false when the memory is not there
    void Release();
    bool Allocated() const { return bytes_ != nullptr; }

    void Clear() { rp_ = wp_ = 0; }
    int Filled() const { return wp_ >= rp_ ? wp_ - rp_ : kSize + wp_ - rp_; }
    int Free() const { return kSize - Filled(); }

    // Copies length bytes at WP, in at most two moves; false, with nothing
    // copied, unless length < Free().
    bool Put(const char* data, int length);
    // Moves min(length, Filled()) bytes from RP to out; returns how many.
    int Take(char* out, int length);

  private:
    std::unique_ptr<char[]> bytes_;
    int rp_ = 0; // next byte to read
    int wp_ = 0; // next byte to write
};

} // namespace player

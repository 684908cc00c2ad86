// Bits from a byte source, least significant first within each byte, through
// a 1024-byte buffer. Past the end every read yields 0 and the end flag stays.
#pragma once

#include "pcmkit.h"

namespace pcmkit {

struct bit_reader {
    uint8_t buffer[1024];
    int bitPosition = 0;
    int validBits = 0;
    bool end = false;
};

// Refills the buffer; false (and the end flag) when the source has no more.
bool bit_reader_fill(bit_reader& r, byte_source* source, const abort_flag* abort);

// The next 4-bit code: the low nibble of a byte, then its high nibble.
inline int bit_reader_nibble(bit_reader& r, byte_source* source, const abort_flag* abort)
{
    if (r.bitPosition >= r.validBits && !bit_reader_fill(r, source, abort))
        return 0;
    int value = (r.buffer[r.bitPosition >> 3] >> (r.bitPosition & 4)) & 15;
    r.bitPosition += 4;
    return value;
}

// The next whole byte (a pending high nibble is skipped).
inline int bit_reader_byte(bit_reader& r, byte_source* source, const abort_flag* abort)
{
    r.bitPosition = (r.bitPosition + 7) & ~7;
    if (r.bitPosition >= r.validBits && !bit_reader_fill(r, source, abort))
        return 0;
    int value = r.buffer[r.bitPosition >> 3];
    r.bitPosition += 8;
    return value;
}

// Seeks the source and forgets the buffer.
bool bit_reader_reposition(bit_reader& r, byte_source* source, int64_t position, const abort_flag* abort);

} // namespace pcmkit

#include "BitReader.h"

namespace pcmkit {

bool bit_reader_fill(bit_reader& r, byte_source* source, const abort_flag* abort)
{
    r.bitPosition = 0;
    r.validBits = 0;
    if (r.end)
        return false;
    int n = source_read(source, r.buffer, sizeof r.buffer, abort);
    if (n <= 0) {
        r.end = true;
        return false;
    }
    r.validBits = n * 8;
    return true;
}

bool bit_reader_reposition(bit_reader& r, byte_source* source, int64_t position, const abort_flag* abort)
{
    r.end = false;
    r.bitPosition = 0;
    r.validBits = 0;
    return source_seek(source, position, abort);
}

} // namespace pcmkit

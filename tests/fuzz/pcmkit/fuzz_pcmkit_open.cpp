// One container family of the waveform plug-in: detection, open and reading
// with seeks, over a memory copy of the input. The first byte chooses the
// settings (conversions, VOC loops and silences, information mode); the file
// name, and so the family, is fixed per target by PCMKIT_FUZZ_NAME.

#include "Containers.h"
#include "Settings.h"
#include "Sources.h"

#include "fuzz/FuzzCheck.h"
#include "platform/msgbox.h"

#include <cstdlib>
#include <cstring>

using namespace pcmkit;

namespace {

constexpr int kMaxOutput = 1 << 20; // bytes read per input: endless VOC loops stay endless

int readSome(decoder* d, uint8_t* buffer, int bufferSize, int budget, abort_flag* abort)
{
    const int frame = frame_bytes(d->format);
    const int request = bufferSize / frame * frame;
    int total = 0;
    while (total < budget) {
        int n = d->ops->read(d, buffer, request, abort);
        check(n >= 0 && n <= request && n % frame == 0);
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool once = [] {
        platform::SetMessageBoxPresenter(
            [](const platform::MessageBoxRequest& box) { return platform::DefaultMessageBoxAnswer(box.type); });
        return true;
    }();
    (void)once;
    if (size < 1)
        return 0;
    const uint8_t settings = data[0];
    reset_settings();
    cfg_ext_mask = 0x7FF;
    cfg_8216 = settings & 1;
    cfg_downcvt = settings & 2;
    cfg_mono = settings & 4;
    cfg_dither = settings & 8;
    cfg_fdest = (settings >> 4) & 3;
    cfg_vocsil = settings & 64;
    cfg_exploop = settings & 128;
    const bool infoMode = (settings & 0x30) == 0x30;

    auto* copy = static_cast<uint8_t*>(std::malloc(size));
    std::memcpy(copy, data + 1, size - 1);
    byte_source* source = create_memory_source(copy, static_cast<int64_t>(size - 1));
    abort_flag abort{false};
    open_result result;
    decoder* d = open_source(PCMKIT_FUZZ_NAME, source, infoMode, &abort, &result);
    if (!d)
        return 0;
    check(playable_format(d->format));
    decoder_info info{};
    d->ops->info(d, &info);
    check(std::memchr(info.text, 0, sizeof info.text) != nullptr);
    d->ops->length(d);
    if (!infoMode) {
        static uint8_t buffer[576 * 8 * 64 * 2];
        int first = readSome(d, buffer, 576 * frame_bytes(d->format), kMaxOutput, &abort);
        if (d->ops->can_seek(d)) {
            int64_t position = 0;
            d->ops->seek(d, first / frame_bytes(d->format) / 2, &position, &abort);
            readSome(d, buffer, static_cast<int>(1 + size % 997) * frame_bytes(d->format), 1 << 16, &abort);
            d->ops->seek(d, 0, &position, &abort);
            readSome(d, buffer, 576 * frame_bytes(d->format), 1 << 16, &abort);
        }
    }
    decoder_destroy(d);
    return 0;
}

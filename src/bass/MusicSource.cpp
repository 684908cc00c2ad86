// Music modules rendered by libopenmpt, limited to the module types the player
// offers (MOD, S3M, XM, IT, MTM).

#include "Source.h"
#include "bass.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace bass {
namespace {

// Modules are small; anything larger is not one.
constexpr uint64_t kMaxModuleBytes = 64u << 20;

class MusicSource final : public Source {
  public:
    MusicSource(openmpt_module* module, unsigned rate, bool mono, uint64_t length)
        : module_(module), rate_(rate), mono_(mono), length_(length)
    {
    }
    ~MusicSource() override { openmpt_module_destroy(module_); }

    std::size_t read(int16_t* out, std::size_t frames) override
    {
        // The renderer runs on a little past the song's end; the channel's length is the song's.
        frames = std::size_t(std::min<uint64_t>(frames, length_ - std::min(length_, position_)));
        std::size_t done = 0;
        while (done < frames) {
            const std::size_t ask = frames - done;
            const std::size_t made =
                mono_ ? openmpt_module_read_mono(module_, int32_t(rate_), ask, out + done)
                      : openmpt_module_read_interleaved_stereo(module_, int32_t(rate_), ask, out + done * 2);
            if (made == 0)
                break;
            done += made;
        }
        position_ += done;
        return done;
    }

    bool seek(uint64_t frame) override
    {
        position_ = frame;
        openmpt_module_set_position_seconds(module_, double(frame) / rate_);
        return true;
    }

  private:
    openmpt_module* module_;
    unsigned rate_;
    bool mono_;
    uint64_t length_;
    uint64_t position_ = 0;
};

bool AcceptedType(openmpt_module* module)
{
    static constexpr std::array<const char*, 5> kTypes{"mod", "s3m", "xm", "it", "mtm"};
    const char* type = openmpt_module_get_metadata(module, "type");
    bool ok = false;
    for (const char* t : kTypes)
        ok = ok || (type && std::strcmp(type, t) == 0);
    openmpt_free_string(type);
    return ok;
}

} // namespace

std::unique_ptr<Source> OpenMusicSource(std::unique_ptr<InputData> data, unsigned rate, bool mono, StreamFormat& format,
                                        int64_t& orders, int& error)
{
    if (data->size() > kMaxModuleBytes || data->size() == 0) {
        error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    std::vector<uint8_t> bytes(std::size_t(data->size()));
    if (data->read(0, bytes.data(), bytes.size()) != long(bytes.size())) {
        error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    int failure = OPENMPT_ERROR_OK;
    openmpt_module* module =
        openmpt_module_create_from_memory2(bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr,
                                           openmpt_error_func_ignore, nullptr, &failure, nullptr, nullptr);
    if (!module) {
        error = failure == OPENMPT_ERROR_OUT_OF_MEMORY ? BASS_ERROR_MEM : BASS_ERROR_FILEFORM;
        return nullptr;
    }
    if (!AcceptedType(module)) {
        openmpt_module_destroy(module);
        error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    // A seek into a note already sounding keeps it sounding, not silent until the next one.
    openmpt_module_ctl_set_boolean(module, "seek.sync_samples", 1);
    format.rate = rate;
    format.channels = mono ? 1 : 2;
    format.lengthFrames = std::llround(openmpt_module_get_duration_seconds(module) * rate);
    orders = openmpt_module_get_num_orders(module);
    return std::make_unique<MusicSource>(module, rate, mono, uint64_t(format.lengthFrames));
}

} // namespace bass

#include "MediaInput.h"

#include <cstdint>

namespace media {

std::unique_ptr<bass::InputData> OpenInput(const MediaInput& in, std::string& why)
{
    int error = 0;
    std::unique_ptr<bass::InputData> data =
        in.bytes
            ? (in.size > 0 && in.size <= UINT32_MAX ? bass::InputData::Open(true, in.bytes, 0, uint32_t(in.size), error)
                                                    : nullptr)
            : bass::InputData::Open(false, in.path.c_str(), 0, 0, error);
    if (!data)
        why = "The file cannot be opened.";
    return data;
}

} // namespace media

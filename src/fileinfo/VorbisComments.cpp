#include "VorbisComments.h"

#include "ReaderFile.h"
#include "TextRoutines.h"

namespace fileinfo {

void ReadVorbisComments(ReaderFile& file, const std::function<void(const std::string& entry)>& onEntry)
{
    int64_t entry = 0;
    int32_t count = 0;
    do {
        uint32_t length;
        std::string buffer;
        if (!file.ReadU32LE(length) || !ReadBoundedValue(file, static_cast<int32_t>(length), buffer))
            return;
        onEntry(Trim(buffer));
        if (entry == 0) {
            uint32_t stored;
            if (!file.ReadU32LE(stored))
                return;
            count = static_cast<int32_t>(stored);
        }
        ++entry;
    } while (entry <= count);
}

bool SplitComment(const std::string& entry, std::string& upperName, std::string& value)
{
    std::size_t equals = entry.find('=');
    if (equals == std::string::npos)
        return false;
    upperName = UpperAscii(std::string_view(entry).substr(0, equals));
    value = entry.substr(equals + 1);
    return true;
}

} // namespace fileinfo

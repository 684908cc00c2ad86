// The Qt form of the displayed text (see text.h).

#include "text.h"

#include <QString>

namespace platform {

QString DisplayString(std::string_view bytes)
{
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

} // namespace platform

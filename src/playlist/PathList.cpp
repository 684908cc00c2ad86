#include "PathList.h"

namespace playlist {

void TPathList::Delete(int index)
{
    if (index < 0 || index >= Count())
        return;
    items_.erase(items_.begin() + index);
    if (index == itemIndex_)
        itemIndex_ = -1;
    else if (index < itemIndex_)
        --itemIndex_;
}

void TPathList::Clear()
{
    items_.clear();
    itemIndex_ = -1;
}

void TPathList::Assign(std::vector<std::string> paths)
{
    items_ = std::move(paths);
    itemIndex_ = -1;
}

} // namespace playlist

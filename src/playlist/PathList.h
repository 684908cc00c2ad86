// ListBox1: the hidden list of entry paths (bytes, as added) and its selected
// line, which is the entry Play starts. Removing or inserting lines keeps the
// selection on the same line, as a list box does; removing the selected line
// clears it.
#pragma once

#include <string>
#include <vector>

namespace playlist {

class TPathList {
  public:
    int Count() const { return int(items_.size()); }
    const std::string& operator[](int index) const { return items_[size_t(index)]; }
    const std::vector<std::string>& Items() const { return items_; }

    int ItemIndex() const { return itemIndex_; }
    // An index outside the list clears the selection.
    void setItemIndex(int index) { itemIndex_ = index >= 0 && index < Count() ? index : -1; }

    void Add(std::string path) { items_.push_back(std::move(path)); }
    void Append(const std::vector<std::string>& paths) { items_.insert(items_.end(), paths.begin(), paths.end()); }
    void Delete(int index);
    void Clear();
    // Replaces every line; nothing is selected afterwards.
    void Assign(std::vector<std::string> paths);

  private:
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

} // namespace playlist

#include "RealboxModel.h"

#include <QColor>
#include <QFont>
#include <QStringList>

namespace playlist {

int RealboxModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int RealboxModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant RealboxModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole) {
        const RealboxItem& item = items_[size_t(index.row())];
        return index.column() == 0 ? item.caption : item.time;
    }
    if (index.row() != playingRow_)
        return {};
    if (role == Qt::FontRole) {
        // Underlined as well as bold: the list is bold already, and the
        // underline stays visible under the highlight's own text colour.
        QFont font;
        font.setBold(true);
        font.setUnderline(true);
        return font;
    }
    if (role == Qt::ForegroundRole)
        return QColor(0, 0, 160);
    return {};
}

Qt::ItemFlags RealboxModel::flags(const QModelIndex& index) const
{
    // Files are dropped onto the list as a whole.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsDropEnabled;
}

QStringList RealboxModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

Qt::DropActions RealboxModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::LinkAction;
}

void RealboxModel::SetItems(std::vector<RealboxItem> items)
{
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void RealboxModel::Append(std::vector<RealboxItem> items)
{
    if (items.empty())
        return;
    beginInsertRows({}, Count(), Count() + int(items.size()) - 1);
    items_.insert(items_.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    endInsertRows();
}

void RealboxModel::Delete(int row)
{
    if (row < 0 || row >= Count())
        return;
    beginRemoveRows({}, row, row);
    items_.erase(items_.begin() + row);
    endRemoveRows();
}

void RealboxModel::Clear()
{
    SetItems({});
}

void RealboxModel::SetRange(int first, const std::vector<QString>& captions, const std::vector<QString>* times)
{
    const int last = std::min(Count(), first + int(captions.size())) - 1;
    if (first < 0 || last < first)
        return;
    for (int row = first; row <= last; ++row) {
        items_[size_t(row)].caption = captions[size_t(row - first)];
        if (times)
            items_[size_t(row)].time = (*times)[size_t(row - first)];
    }
    emit dataChanged(index(first, 0), index(last, 1));
}

void RealboxModel::SetPlayingRow(int row)
{
    if (row == playingRow_)
        return;
    const int old = playingRow_;
    playingRow_ = row;
    rowChanged(old);
    rowChanged(row);
}

void RealboxModel::rowChanged(int row)
{
    if (row >= 0 && row < Count())
        emit dataChanged(index(row, 0), index(row, 1), {Qt::FontRole, Qt::ForegroundRole});
}

void RealboxModel::SetCaptions(std::vector<QString> captions)
{
    SetRange(0, captions, nullptr);
}

} // namespace playlist

// The rows of the visible playlist: a caption ("Songs") and a time ("Time")
// per entry, changed in bulk so that a long list stays quick.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace playlist {

struct RealboxItem {
    QString caption;
    QString time; // the first sub-item; empty when the entry has none
};

class RealboxModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

    int Count() const { return int(items_.size()); }
    const RealboxItem& Item(int row) const { return items_[size_t(row)]; }
    const std::vector<RealboxItem>& Items() const { return items_; }

    void SetItems(std::vector<RealboxItem> items);
    void Append(std::vector<RealboxItem> items);
    void Delete(int row);
    void Clear();
    // Rows first to last (inclusive) get these captions, and times unless
    // times is empty.
    void SetRange(int first, const std::vector<QString>& captions, const std::vector<QString>* times);
    void SetCaptions(std::vector<QString> captions); // one per row

    // The entry last started is drawn apart from the others and from the
    // user's highlight; -1 marks none.
    int PlayingRow() const { return playingRow_; }
    void SetPlayingRow(int row);

  private:
    void rowChanged(int row);

    std::vector<RealboxItem> items_;
    int playingRow_ = -1;
};

} // namespace playlist

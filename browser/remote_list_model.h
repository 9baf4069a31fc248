#pragma once
// The remote list's model: a virtual list over the frame's `entries`. It holds no rows of its
// own; each cell is read from the entry when the view asks for it, so a folder of tens of
// thousands of entries costs one reset rather than one item per cell.

#include "browser/browser_records.h"

#include <QAbstractTableModel>
#include <vector>

class TRemoteListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Requires the entries list the model shows; it outlives the model.
    explicit TRemoteListModel(const std::vector<rdatalist>& entries, QObject* parent = nullptr);

    // Sets the row count to the current length of the entries and lets the views read them
    // again; call it after every change of the entries.
    void Reset();

    // Row fill: caption and icon in column 0, then size, type, modified and attributes; a row
    // beyond the end of the entries is empty.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The end of an in-place rename: reports the new text and changes nothing itself; the
    // frame renames on the server and then updates the entries.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    void nameEdited(int row, const QString& text);

private:
    const std::vector<rdatalist>& entries_;
    int rows_ = 0;
};

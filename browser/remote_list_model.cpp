#include "browser/remote_list_model.h"

#include "ui/desktop_service.h"

namespace {
constexpr int kColumns = 5;
} // namespace

TRemoteListModel::TRemoteListModel(const std::vector<rdatalist>& entries, QObject* parent)
    : QAbstractTableModel(parent), entries_(entries) {}

void TRemoteListModel::Reset() {
    beginResetModel();
    rows_ = static_cast<int>(entries_.size());
    endResetModel();
}

int TRemoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TRemoteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant TRemoteListModel::data(const QModelIndex& index, int role) const {
    // The entries may shrink while the view still holds the old row count (a listing being
    // rebuilt); such rows stay empty until the next reset.
    if (!index.isValid() || index.row() >= rows_ ||
        index.row() >= static_cast<int>(entries_.size()))
        return {};
    const rdatalist& e = entries_[static_cast<size_t>(index.row())];
    if (role == Qt::DecorationRole && index.column() == 0)
        return e.isFolder ? Desktop().FolderIcon() : Desktop().FileIcon(e.name);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::EditRole) return {};
    switch (index.column()) {
    case 0:
        return e.name;
    case 1:
        return e.sizeText;
    case 2:
        return e.typeText;
    case 3:
        return e.modified;
    case 4:
        return e.ownerRights + e.groupRights + e.otherRights;
    default:
        return {};
    }
}

QVariant TRemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const captions[kColumns] = {"Name", "Size", "Type", "Modified", "Attrib"};
    if (section < 0 || section >= kColumns) return {};
    return tr(captions[section]);
}

Qt::ItemFlags TRemoteListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    // Only the name is edited in place, and only by the Rename command (no edit triggers).
    return index.column() == 0 ? flags | Qt::ItemIsEditable : flags;
}

bool TRemoteListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || index.row() >= rows_)
        return false;
    emit nameEdited(index.row(), value.toString());
    return false;
}

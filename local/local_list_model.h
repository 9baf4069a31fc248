#pragma once
// The local list's model: the folders, files and hidden entries of one root folder, folders
// first, each group sorted by name; or, for the virtual root that is no folder, the home folder,
// "/" and the mounted volumes. Rows are read from a plain vector, so a folder of tens of
// thousands of files costs one reset. Rows drag as local file URLs.

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <vector>

class TLocalListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The root that lists the home folder, "/" and the mounted volumes.
    static const QString kVirtualRoot;

    struct Entry {
        QString name;
        QString path;
        bool isFolder = false;
        qint64 size = 0;
        QDateTime modified; // invalid for the virtual root's folders
    };

    explicit TLocalListModel(QObject* parent = nullptr);

    // Lists `root` (or the virtual root). Returns false, leaving the list empty, when `root` is
    // neither the virtual root nor a readable folder.
    bool Load(const QString& root);
    const QString& root() const { return root_; }
    const std::vector<Entry>& entries() const { return entries_; }
    // Returns the row of the entry whose path is `path`, or -1.
    int RowOfPath(const QString& path) const;
    // Returns the folders the virtual root lists: the home folder, "/" and the mounted volumes.
    static QStringList VirtualRootFolders();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Renames the entry in place; false (and nothing renamed) for an empty name, a name with a
    // separator, or a rename the file system refuses.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

private:
    QString typeName(const Entry& e) const;

    QString root_;
    std::vector<Entry> entries_;
    // The type name of each extension, asked once.
    mutable QHash<QString, QString> typeNames_;
};

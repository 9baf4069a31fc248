#include "local/local_list_model.h"

#include "ui/icons.h"
#include "ui/window_pump.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMimeData>
#include <QMimeDatabase>
#include <QStorageInfo>
#include <QUrl>
#include <algorithm>
#include <set>

const QString TLocalListModel::kVirtualRoot = QStringLiteral("-1");

TLocalListModel::TLocalListModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList TLocalListModel::VirtualRootFolders() {
    QStringList folders{QDir::homePath(), QStringLiteral("/")};
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString path = volume.rootPath();
        if (!folders.contains(path)) folders << path;
    }
    return folders;
}

bool TLocalListModel::Load(const QString& root) {
    std::vector<Entry> loaded;
    bool ok = true;
    if (root == kVirtualRoot) {
        for (const QString& folder : VirtualRootFolders())
            loaded.push_back({folder, folder, true, 0, QDateTime()});
    } else {
        const QDir dir(root);
        ok = dir.exists() && dir.isReadable();
        // A folder of many thousands of files keeps the window alive while it is read; the
        // rows shown change only once it is complete.
        TLoopSlice slice;
        QDirIterator it(ok ? root : QString(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const QString prefix = root.endsWith('/') ? root : root + '/';
        while (ok && it.hasNext()) {
            slice.Tick();
            const QFileInfo info = it.nextFileInfo();
            const QString name = info.fileName();
            // The time is formatted only for the rows shown.
            loaded.push_back({name, prefix + name, info.isDir(), info.isDir() ? 0 : info.size(),
                              info.lastModified()});
        }
        // Folders first, then by name without regard to case; the keys are folded once.
        std::vector<std::pair<QString, size_t>> keys;
        keys.reserve(loaded.size());
        for (size_t i = 0; i < loaded.size(); ++i) {
            slice.Tick();
            keys.emplace_back(loaded[i].name.toCaseFolded(), i);
        }
        std::sort(keys.begin(), keys.end(), [&loaded](const auto& a, const auto& b) {
            const Entry& x = loaded[a.second];
            const Entry& y = loaded[b.second];
            if (x.isFolder != y.isFolder) return x.isFolder;
            const int c = a.first.compare(b.first);
            return c != 0 ? c < 0 : x.name < y.name;
        });
        std::vector<Entry> sorted;
        sorted.reserve(loaded.size());
        for (const auto& key : keys)
            sorted.push_back(std::move(loaded[key.second]));
        loaded.swap(sorted);
    }
    beginResetModel();
    root_ = root;
    entries_.swap(loaded);
    endResetModel();
    return ok;
}

int TLocalListModel::RowOfPath(const QString& path) const {
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].path == path) return static_cast<int>(i);
    return -1;
}

int TLocalListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TLocalListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QString TLocalListModel::typeName(const Entry& e) const {
    if (e.isFolder) return tr("Folder");
    const int dot = e.name.lastIndexOf('.');
    const QString ext = dot > 0 ? e.name.mid(dot + 1).toLower() : QString();
    auto found = typeNames_.constFind(ext);
    if (found != typeNames_.constEnd()) return *found;
    static const QMimeDatabase mimes;
    const QString name = mimes.mimeTypeForFile(e.name, QMimeDatabase::MatchExtension).comment();
    typeNames_.insert(ext, name);
    return name;
}

QVariant TLocalListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(entries_.size())) return {};
    const Entry& e = entries_[static_cast<size_t>(index.row())];
    if (role == Qt::DecorationRole && index.column() == 0)
        return TIcons::Get(e.isFolder ? TIcon::Folder : TIcon::File);
    if (role == Qt::EditRole && index.column() == 0) return e.name;
    if (role == Qt::ToolTipRole) return e.path;
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case 0:
        return e.name;
    case 1:
        return e.isFolder ? QString() : QLocale().formattedDataSize(e.size);
    case 2:
        return typeName(e);
    case 3:
        return e.modified.isValid() ? e.modified.toString(QStringLiteral("yyyy-MM-dd hh:mm"))
                                    : QString();
    }
    return {};
}

QVariant TLocalListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const QString names[4] = {tr("Name"), tr("Size"), tr("Type"), tr("Modified")};
    return section >= 0 && section < 4 ? names[section] : QVariant();
}

Qt::ItemFlags TLocalListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // The entries of the virtual root are the volumes themselves: they keep their names.
    if (index.column() == 0 && root_ != kVirtualRoot) f |= Qt::ItemIsEditable;
    return f;
}

bool TLocalListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.column() != 0 || root_ == kVirtualRoot)
        return false;
    Entry& e = entries_[static_cast<size_t>(index.row())];
    const QString name = value.toString();
    if (name == e.name) return true;
    if (name.isEmpty() || name == "." || name == ".." || name.contains('/') || name.contains('\\'))
        return false;
    const QString target = QFileInfo(e.path).dir().filePath(name);
    if (QFileInfo::exists(target) || !QDir().rename(e.path, target)) return false;
    e.name = name;
    e.path = target;
    emit dataChanged(index, index.siblingAtColumn(3));
    return true;
}

QStringList TLocalListModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* TLocalListModel::mimeData(const QModelIndexList& indexes) const {
    QList<QUrl> urls;
    std::set<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid()) rows.insert(index.row());
    for (int row : rows)
        urls << QUrl::fromLocalFile(entries_[static_cast<size_t>(row)].path);
    auto* mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

#include "browser/export_listing.h"

#include "browser/browser_frame.h"
#include "browser/remote_walk.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTreeView>
#include <QUrl>
#include <algorithm>
#include <cmath>

namespace {

const QByteArray kBranch("\xA9\xC0");
const QByteArray kHorizontal("\xA9\xA4");
const QByteArray kVertical("\xA9\xA6");
const QByteArray kCorner("\xA9\xB8");
const QString kGap = QStringLiteral("    ");

struct Counts {
    int folders = 0;
    int files = 0;
};

void addLines(const TExportNode& node, int level, QList<QByteArray>& lines, Counts& counts) {
    const bool folder = !node.children.empty();
    ++(folder ? counts.folders : counts.files);
    QByteArray line;
    for (int part = 1; part <= level; ++part)
        line += part == level && folder ? kBranch + kHorizontal : kVertical + "    ";
    lines << line + node.text.toUtf8();
    for (const TExportNode& child : node.children)
        addLines(child, level + 1, lines, counts);
}

} // namespace

TExportListing& TExportListing::Of(TBrowserFrame& frame) {
    if (auto* made = frame.findChild<TExportListing*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new TExportListing(frame);
}

TExportListing::TExportListing(TBrowserFrame& frame) : QObject(&frame), frame_(frame) {}

QString TExportListing::FormatSize(int64_t size) {
    const auto n = static_cast<int64_t>(std::nearbyint(static_cast<double>(size) / 1024.0));
    return n > 0 ? QString::number(n) + QStringLiteral("KB")
                 : QString::number(size) + QStringLiteral("bytes");
}

QByteArray TExportListing::ExportText(const TExportNode& root, const QDateTime& now) {
    QList<QByteArray> lines{root.text.toUtf8()};
    Counts counts;
    for (const TExportNode& child : root.children)
        addLines(child, 1, lines, counts);
    qsizetype widest = 0;
    for (const QByteArray& line : lines)
        widest = std::max(widest, line.size());
    const qsizetype half = widest / 2;
    QByteArray rule = kCorner;
    for (qsizetype i = 1; i < half; ++i)
        rule += kHorizontal;
    lines << rule;
    lines << QStringLiteral("    %1 folders, %2 files, export date: %3")
                 .arg(counts.folders)
                 .arg(counts.files)
                 .arg(now.toString(QStringLiteral("yyyy/MM/dd hh:mm")))
                 .toUtf8();
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

QString TExportListing::chooseFile(const QString& caption) {
    const QString name = Prompt().SaveFileName(
        &frame_, caption, exportFolder, QStringLiteral("*.txt (*.txt)"), QStringLiteral("txt"));
    if (!name.isEmpty()) exportFolder = QFileInfo(name).absolutePath();
    return name;
}

void TExportListing::onExportWholeClick() {
    if (!frame_.browseEnabled() || !frame_.Connected()) return;
    const QString name = chooseFile(tr("Export whole directories"));
    if (!name.isEmpty()) ExportWhole(name);
}

void TExportListing::onExportSelectedClick() {
    if (!frame_.browseEnabled() || !frame_.Connected()) return;
    if (!frame_.remoteList()->selectionModel()->hasSelection()) return;
    const QString name = chooseFile(tr("Export selected"));
    if (!name.isEmpty()) ExportSelected(name);
}

void TExportListing::buildTree(TRemoteWalk& walk, const QString& path, const QString& label,
                               TExportNode& parent, int depth) {
    TExportNode* node = &parent;
    if (!label.isEmpty()) {
        parent.children.push_back({QLatin1Char('<') + label + QLatin1Char('>'), {}});
        node = &parent.children.back();
    }
    const std::vector<TRemoteItem> items = walk.List(path, depth);
    // Reverse listing order, as the tree has always been drawn.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        if (it->isFolder) {
            buildTree(walk, JoinRemote(path, it->name), it->name, *node, depth + 1);
        } else {
            node->children.push_back(
                {it->name + kGap + FormatSize(it->size) + kGap + it->modified, {}});
        }
    }
}

bool TExportListing::ExportWhole(const QString& fileName) {
    TExportNode root{frame_.settings().siteName + QStringLiteral("(ftp://") +
                         Wire::fromWire(frame_.ftp().Host) + frame_.homePath() + ')',
                     {}};
    bool built = false;
    {
        TRemoteWalk walk(frame_);
        built = walk.Run([&] { buildTree(walk, frame_.homePath(), QString(), root, 0); });
    }
    return built && writeFile(fileName, root);
}

bool TExportListing::ExportSelected(const QString& fileName) {
    const QString here = frame_.currentPath();
    TExportNode root{frame_.settings().siteName + QStringLiteral("(ftp://") +
                         Wire::fromWire(frame_.ftp().Host) + here + ')',
                     {}};
    QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    bool built = true;
    {
        TRemoteWalk walk(frame_);
        for (const QModelIndex& row : rows) {
            const QStringList cells = frame_.remoteRow(row.row());
            const QString& name = cells.value(0);
            if (cells.value(2) == tr("Folder") && cells.value(1).isEmpty()) {
                built = walk.Run([&] { buildTree(walk, JoinRemote(here, name), name, root, 1); });
                if (!built) break;
            } else {
                root.children.push_back({name + kGap + cells.value(1) + kGap + cells.value(3), {}});
            }
        }
    }
    return built && writeFile(fileName, root);
}

bool TExportListing::writeFile(const QString& fileName, const TExportNode& root) {
    const QByteArray text = ExportText(root, QDateTime::currentDateTime());
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size()) {
        ShowError(&frame_, tr("Can not write the file %1.").arg(fileName));
        return false;
    }
    return true;
}

QString TExportListing::UrlOf(const QString& name) const {
    const TNetFTP& ftp = frame_.ftp();
    // The path keeps its separators and the characters a path may hold; "?", "#", "%" and
    // blanks are encoded, so the name cannot turn into a query or a fragment.
    const QByteArray keep("/!$&'()*+,;=:@~");
    const QString path = JoinRemote(frame_.currentPath(), name);
    QString host = Wire::fromWire(ftp.Host);
    if (host.contains(':')) host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("ftp://") +
           QString::fromLatin1(QUrl::toPercentEncoding(Wire::fromWire(ftp.Username))) + ':' +
           QString::fromLatin1(QUrl::toPercentEncoding(Wire::fromWire(ftp.Password))) + '@' + host +
           ':' + QString::number(ftp.Port) +
           QString::fromLatin1(QUrl::toPercentEncoding(path, keep));
}

void TExportListing::onCopyUrlClick() {
    const QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    if (rows.size() != 1 || rows.first().row() >= static_cast<int>(frame_.entries().size())) return;
    Desktop().SetClipboardText(
        UrlOf(frame_.entries()[static_cast<size_t>(rows.first().row())].name));
}

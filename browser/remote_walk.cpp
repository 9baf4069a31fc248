#include "browser/remote_walk.h"

#include "browser/browser_frame.h"
#include "data/wire_text.h"
#include "ftp/ftp.h"

#include <QCoreApplication>

QString JoinRemote(const QString& folder, const QString& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

TRemoteWalk::TRemoteWalk(TBrowserFrame& frame)
    : frame_(frame), start_(frame.currentPath()), at_(frame.currentPath()) {
    frame_.SetBrowseEnabled(false);
}

TRemoteWalk::~TRemoteWalk() {
    if (at_ != start_)
        RunLogged(frame_, [this] { frame_.ftp().ChangeDirectory(Wire::toWire(start_)); });
    frame_.SetBrowseEnabled(true);
}

bool RunLogged(TBrowserFrame& frame, const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const ENetProtocolReplyError& e) {
        frame.LogMessage(QStringLiteral("%1:%2")
                             .arg(e.ReplyErrorCode)
                             .arg(Wire::fromWire(e.what()).simplified()),
                         2);
    } catch (const std::exception& e) {
        frame.LogMessage(Wire::fromWire(frame.ftp().LastReply.TextCode()) + ':' +
                             Wire::fromWire(e.what()).simplified(),
                         2);
    }
    return false;
}

bool TRemoteWalk::Run(const std::function<void()>& work) {
    return RunLogged(frame_, work);
}

void TRemoteWalk::Enter(const QString& path) {
    if (at_ == path) return;
    // Set before the call: a failed CWD leaves the server's folder unknown, and the way back
    // at the end must then be taken.
    at_ = QStringLiteral("?");
    frame_.ftp().ChangeDirectory(Wire::toWire(path));
    at_ = path;
}

std::vector<TRemoteItem> TRemoteWalk::List(const QString& path, int depth) {
    if (depth > kMaxDepth)
        throw ENetException("The folder tree is deeper than 256 levels: " + Wire::toWire(path));
    // The window stays responsive through a long walk.
    QCoreApplication::processEvents();
    Enter(path);
    TNetFTP& ftp = frame_.ftp();
    ftp.SetTransferType(ftASCII);
    ftp.ListDirectory(nullptr, std::string(), true);
    std::vector<TRemoteItem> items;
    for (const TNetFTPListItem& item : ftp.DirectoryListing()) {
        const QString name = Wire::fromWire(item.EntryName);
        const QString trimmed = name.trimmed();
        if (trimmed == QLatin1String(".") || trimmed == QLatin1String("..")) continue;
        if (name.isEmpty() || name.contains('/')) {
            frame_.LogMessage(
                QStringLiteral("Skipped \"%1\" in %2: not a plain name.").arg(name, path), 2);
            continue;
        }
        TRemoteItem entry;
        entry.name = name;
        entry.isFolder = item.EntryKind == EntryDirectory;
        entry.isLink = item.EntryKind == EntrySymlink;
        entry.size = item.ByteSize;
        entry.modified = Wire::fromWire(item.ModifiedAt.ToText());
        items.push_back(entry);
    }
    return items;
}

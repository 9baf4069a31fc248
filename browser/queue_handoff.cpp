#include "browser/queue_handoff.h"

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"

namespace QueueHandoff {

bool QueueEntry(TBrowserFrame& frame, TDataModule& data, const rupdown& entry, bool checkQueued) {
    TTransferQueue& queue = TTransferQueue::Of(frame, data);
    if (checkQueued && queue.IsQueued(entry.name, entry.localPath, entry.remoteFolder))
        return false;
    queue.AddItem(entry);
    return true;
}

void StartQueue(TBrowserFrame& frame, TDataModule& data, bool refresh) {
    if (!frame.Connected() || frame.busy) return;
    TTransferQueue::Of(frame, data).RunSequence(refresh);
}

bool RunNow(TBrowserFrame& frame, TDataModule& data) {
    if (frame.busy) return false;
    TTransferQueue::Of(frame, data).RunSequence(false);
    return true;
}

bool IsPlainName(const QString& name) {
    return TTransferQueue::IsPlainName(name);
}

QString JoinPath(const QString& folder, const QString& name) {
    return TTransferQueue::JoinPath(folder, name);
}

} // namespace QueueHandoff

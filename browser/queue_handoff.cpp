#include "browser/queue_handoff.h"

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"

namespace QueueHandoff {

bool QueueEntry(TBrowserFrame& frame, const rupdown& entry, bool checkQueued) {
    TTransferQueue& queue = frame.transferQueue();
    if (checkQueued && queue.IsQueued(entry.name, entry.localPath, entry.remoteFolder))
        return false;
    queue.AddItem(entry);
    return true;
}

void StartQueue(TBrowserFrame& frame, bool refresh) {
    TTransferQueue& queue = frame.transferQueue();
    if (!frame.Connected() || queue.busy()) return;
    queue.RunSequence(refresh);
}

} // namespace QueueHandoff

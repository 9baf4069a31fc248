#pragma once
// The hand-off of transfer jobs to a browser page: the history rerun, the task run and the local
// page put `rupdown` entries on a page (through the window's session host) and ask it to run
// its queue.

#include "browser/browser_records.h"

class TBrowserFrame;

namespace QueueHandoff {

// Appends `entry` with its queue row to the page of `frame`. With `checkQueued`, an entry whose
// name, local path and remote folder are queued already is not added again. Returns true when
// the entry was added.
bool QueueEntry(TBrowserFrame& frame, const rupdown& entry, bool checkQueued = true);
// Runs the page's queue when its connection is up and it is not busy already; refreshes the
// remote list afterwards when `refresh`. Otherwise the entries wait for the next run.
void StartQueue(TBrowserFrame& frame, bool refresh);

} // namespace QueueHandoff

#pragma once
// The hand-off of transfer jobs to a browser page: the history rerun, the task run and the local
// page put `rupdown` entries on a page and ask it to run its queue.

#include "browser/browser_records.h"

class TBrowserFrame;
class TDataModule;

namespace QueueHandoff {

// Appends `entry` with its queue row to the page of `frame`. With `checkQueued`, an entry whose
// name, local path and remote folder are queued already is not added again. Returns true when
// the entry was added.
bool QueueEntry(TBrowserFrame& frame, TDataModule& data, const rupdown& entry,
                bool checkQueued = true);
// Runs the page's queue when its connection is up and it is not busy already; refreshes the
// remote list afterwards when `refresh`. Otherwise the entries wait for the next run.
void StartQueue(TBrowserFrame& frame, TDataModule& data, bool refresh);

// Runs the page's queue when it is not busy, connected or not, without refreshing the remote
// list. Returns true when it ran.
bool RunNow(TBrowserFrame& frame, TDataModule& data);
// Returns true when `name` may be used as one local path component: no separator, not "." or
// "..", not empty. Every name that becomes part of a local path passes this first.
bool IsPlainName(const QString& name);
// Joins a folder and a name with one native separator.
QString JoinPath(const QString& folder, const QString& name);

} // namespace QueueHandoff

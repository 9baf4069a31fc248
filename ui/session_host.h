#pragma once
// What the pages on the left and the site list need of the window that hosts the browser pages:
// opening a session and handing transfer jobs to the page that shows it.

#include "ui/transfer_item.h"

#include <QString>
#include <vector>

// The values a quick-connect session takes from its dialog instead of a stored site.
struct QuickConnectValues {
    QString host;
    int port = 21;
    QString username;
    QString password;
    bool passive = true;
};

class TSessionHost {
public:
    virtual ~TSessionHost() = default;
    // Shows the browser page captioned `name`, creating and connecting it when needed; `quick`
    // marks a quick-connect session. The page shown is the active page afterwards.
    virtual void OpenSession(const QString& name, bool quick) = 0;
    // Opens the quick-connect session captioned `values.host` as OpenSession(host, true) does;
    // a page that connects now takes its own copy of `values`.
    virtual void OpenQuickSession(const QuickConnectValues& values) {
        OpenSession(values.host, true);
    }
    // Gives every page captioned `oldName` the caption `newName` and its frame that site name.
    virtual void RenameSessionPages(const QString& oldName, const QString& newName) = 0;

    // The queue hand-off, to the active browser page. Appends `entry` to its queue; with
    // `checkQueued`, an entry whose name, local path and remote folder are queued already is not
    // added again. Returns true when the entry was added, false also when no browser page is
    // active.
    virtual bool QueueTransfer(const rupdown& entry, bool checkQueued = true) = 0;
    // Runs the active page's queue when its connection is up and it is idle, refreshing its
    // remote list afterwards when `refresh`; otherwise the entries wait for the next run.
    virtual void StartTransfers(bool refresh) = 0;
    // Runs the active page's queue when it is idle, without testing its connection and without
    // refreshing its remote list (a drop on the local list). Returns true when the queue ran.
    virtual bool RunTransfersNow() = 0;
    // The local folder of the active browser page, empty when none is active.
    virtual QString ActiveLocalPath() const = 0;
    // Makes `path` the local folder of the active browser page; nothing when none is active.
    virtual void SetActiveLocalPath(const QString& path) = 0;
    // True when the active page is a browser page.
    virtual bool HasActiveSession() const = 0;
    // The entries selected in the active browser page's remote list, in list order.
    virtual std::vector<TRemoteEntry> ActiveRemoteSelection() const = 0;
};

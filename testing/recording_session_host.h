#pragma once
// Stands in for the main window in page tests: records the sessions asked for, the page renames
// and the transfers handed over, without any browser page.

#include "ui/session_host.h"

#include <QStringList>
#include <vector>

class TRecordingSessionHost : public TSessionHost {
public:
    void OpenSession(const QString& name, bool quick) override {
        opened << name + (quick ? " quick" : "");
    }
    void RenameSessionPages(const QString& oldName, const QString& newName) override {
        renamed << oldName + "->" + newName;
    }
    bool QueueTransfer(const rupdown& entry, bool checkQueued) override {
        if (checkQueued) {
            for (const rupdown& q : queued)
                if (q.name == entry.name && q.localPath == entry.localPath &&
                    q.remoteFolder == entry.remoteFolder)
                    return false;
        }
        queued.push_back(entry);
        return true;
    }
    void StartTransfers(bool refresh) override { starts << refresh; }
    bool RunTransfersNow() override {
        ++runsNow;
        return true;
    }
    QString ActiveLocalPath() const override { return localPath; }
    void SetActiveLocalPath(const QString& path) override { localPath = path; }
    bool HasActiveSession() const override { return session; }
    std::vector<TRemoteEntry> ActiveRemoteSelection() const override { return remoteSelection; }

    QStringList opened;
    QStringList renamed;
    std::vector<rupdown> queued;
    QList<bool> starts;
    QString localPath;
    int runsNow = 0;
    // Whether a browser page counts as active, and what its remote list has selected.
    bool session = true;
    std::vector<TRemoteEntry> remoteSelection;
};

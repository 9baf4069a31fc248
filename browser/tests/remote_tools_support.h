#pragma once
// The fixture of the remote tool tests: the transfer fixture (real store, real FTP server, a
// connected frame) with the remote list's selection and the commands sent on the wire.

#include "browser/remote_operations.h"
#include "browser/tests/transfer_test_support.h"

#include <QItemSelectionModel>
#include <QTreeView>

class RemoteToolsTest : public TransferTest {
protected:
    int rowOf(const QString& name) const {
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            if (frame->remoteRow(row).value(0) == name) return row;
        return -1;
    }
    QStringList shownNames() const {
        QStringList names;
        for (int row = 0; row < frame->remoteRowCount(); ++row)
            names << frame->remoteRow(row).value(0);
        names.sort();
        return names;
    }
    void select(const QStringList& names) {
        QItemSelectionModel* selection = frame->remoteList()->selectionModel();
        selection->clearSelection();
        for (const QString& name : names) {
            ASSERT_GE(rowOf(name), 0) << name.toStdString();
            selection->select(frame->remoteList()->model()->index(rowOf(name), 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // Returns the lines sent to the server that start with one of `verbs`, in order.
    QStringList sent(const QStringList& verbs) const {
        QStringList lines;
        const QStringList all = frame->infoLines();
        for (int i = 0; i < all.size(); ++i) {
            if (frame->infoIcon(i) != 0) continue;
            for (const QString& verb : verbs)
                if (all[i].startsWith(verb + ' ')) lines << all[i];
        }
        return lines;
    }
    bool exists(const QString& name) const { return QFileInfo::exists(path(name)); }
    TRemoteOperations& ops() { return TRemoteOperations::Of(*frame); }
};

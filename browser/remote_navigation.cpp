// Moving between remote folders in a browser frame: double-click, Back, Refresh, sorting by a
// column, and the switch that keeps the list from acting while a command runs.

#include "browser/browser_frame.h"
#include "data/wire_text.h"

#include "ftp/ftp.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>

void TBrowserFrame::SetBrowseEnabled(bool enabled) {
    browseEnabled_ = enabled;
    backAction_->setEnabled(enabled);
    refreshAction_->setEnabled(enabled);
}

void TBrowserFrame::SelectRemoteRow(int row) {
    QItemSelectionModel* selection = remoteList_->selectionModel();
    if (row < 0 || row >= remoteRowCount()) {
        selection->clearSelection();
        return;
    }
    selection->setCurrentIndex(remoteList_->model()->index(row, 0),
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TBrowserFrame::clearRemoteSelection() {
    remoteList_->selectionModel()->clearSelection();
}

void TBrowserFrame::enterFolder(const QString& name) {
    SetBrowseEnabled(false);
    {
        // A failure leaves browsing disabled until a later command succeeds, as the list is
        // then in an unknown state.
        CallScope call(callDepth_);
        if (settings_.autoRefresh) {
            ListFolder(name);
        } else {
            ftp_->ChangeDirectory(Wire::toWire(name));
            currentPath_ = Wire::fromWire(ftp_->CurrentDirectory());
            ShowCachedFolder(currentPath_);
        }
    }
    SetBrowseEnabled(true);
    pathBar_->setText(currentPath_);
    clearRemoteSelection();
}

void TBrowserFrame::onRemoteDoubleClick() {
    if (!browseEnabled_) return;
    if (!Connected()) {
        ConnectSite(false);
        return;
    }
    const QModelIndexList rows = remoteList_->selectionModel()->selectedRows(0);
    if (rows.size() != 1) return;
    const QStringList cells = remoteRow(rows.first().row());
    // Only a folder row (type "Folder", no size) is entered; a file does nothing.
    if (cells.value(2) != tr("Folder") || !cells.value(1).isEmpty()) return;
    idleTicks_ = 0;
    enterFolder(cells.value(0));
}

void TBrowserFrame::onBackClick() {
    if (!Connected()) {
        ConnectSite(false);
        return;
    }
    enterFolder(QStringLiteral(".."));
}

void TBrowserFrame::onRefreshClick() {
    if (!Connected()) {
        ConnectSite(false);
        return;
    }
    SetBrowseEnabled(false);
    {
        CallScope call(callDepth_);
        ListFolder(currentPath_);
    }
    SetBrowseEnabled(true);
    clearRemoteSelection();
}

void TBrowserFrame::onColumnClick(int column) {
    if (!browseEnabled_) return;
    sortColumn_ = column;
    SortEntries();
}

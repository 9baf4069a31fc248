#include "browser/remote_list_menu.h"

#include "browser/browser_frame.h"
#include "browser/transfer_queue.h"
#include "ui/icons.h"
#include "ui/styled_list_view.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QShortcut>
#include <QToolBar>
#include <QTreeView>

TRemoteListMenu& TRemoteListMenu::Of(TBrowserFrame& frame) {
    if (auto* made = frame.findChild<TRemoteListMenu*>(QString(), Qt::FindDirectChildrenOnly))
        return *made;
    return *new TRemoteListMenu(frame);
}

TRemoteListMenu::TRemoteListMenu(TBrowserFrame& frame)
    : QObject(&frame), frame_(frame), menu_(new QMenu(&frame)) {
    menu_->setObjectName(QStringLiteral("remoteMenu"));
    // The download command is the transfer queue's; the menu shows the queue's own action so
    // both stay one command.
    actions_[Download] = frame.transferQueue().downloadAction();
    if (actions_[Download]) menu_->addAction(actions_[Download]);
    add(View, tr("View"));
    add(Edit, tr("Edit"));
    menu_->addSeparator();
    add(Delete, tr("Delete"));
    add(Rename, tr("Rename"));
    add(Move, tr("Move"));
    add(Properties, tr("Properties"));
    add(MakeDirectory, tr("Make new directory"));
    menu_->addSeparator();
    add(CopyUrl, tr("Copy URL to clipboard"));
    add(ExportSelected, tr("Export selected"));
    add(Find, tr("Find..."));
    add(AddTask, tr("Add task..."));
    menu_->addSeparator();
    menu_->addAction(frame.refreshAction());
    sortMenu_ = menu_->addMenu(tr("Sort"));
    const char* const sortTexts[] = {"Sort by name", "Sort by size", "Sort by type",
                                     "Sort by date"};
    for (int column = 0; column < 4; ++column) {
        QAction* item = sortMenu_->addAction(tr(sortTexts[column]));
        actions_[SortByName + column] = item;
        connect(item, &QAction::triggered, this, [this, column] { onSortClick(column); });
    }

    // The toolbar's Delete and Add task buttons stand before Back, beside the queue's Download.
    if (auto* bar = frame.findChild<QToolBar*>(QStringLiteral("browserToolBar"))) {
        deleteButton_ = new QAction(TIcons::Get(TIcon::Delete), tr("Delete"), this);
        addTaskButton_ = new QAction(TIcons::Get(TIcon::NewSite), tr("Add task"), this);
        bar->insertAction(frame.backAction(), deleteButton_);
        bar->insertAction(frame.backAction(), addTaskButton_);
        connect(deleteButton_, &QAction::triggered, actions_[Delete], &QAction::trigger);
        connect(addTaskButton_, &QAction::triggered, actions_[AddTask], &QAction::trigger);
    }

    connect(frame.remoteList()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TRemoteListMenu::UpdateCommands);
    // A new listing resets the model and with it the selection, without a selection signal.
    connect(frame.remoteList()->model(), &QAbstractItemModel::modelReset, this,
            &TRemoteListMenu::UpdateCommands);
    if (auto* views = frame.findChild<TStyledListView*>(QStringLiteral("remoteList")))
        connect(views, &TStyledListView::contextMenuRequested, this,
                &TRemoteListMenu::onContextMenu);
    installKeys();
    UpdateCommands();
}

QAction* TRemoteListMenu::add(Command command, const QString& text) {
    QAction* item = menu_->addAction(text);
    item->setObjectName(text);
    actions_[command] = item;
    return item;
}

QAction* TRemoteListMenu::action(Command command) const {
    return command >= 0 && command < CommandCount ? actions_[command] : nullptr;
}

void TRemoteListMenu::installKeys() {
    // The keys act only while the focus is inside this frame, so a hidden page never answers.
    const auto bind = [this](QAction* target, const QList<QKeySequence>& keys) {
        if (!target) return;
        target->setShortcuts(keys);
        target->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        frame_.addAction(target);
    };
    bind(frame_.refreshAction(), {QKeySequence(Qt::Key_F5)});
    bind(frame_.backAction(),
         {QKeySequence(Qt::Key_Backspace), QKeySequence(Qt::ALT | Qt::Key_Up)});
    bind(actions_[Delete], {QKeySequence(Qt::Key_Delete)});
    bind(actions_[Rename], {QKeySequence(Qt::Key_F2)});
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), frame_.remoteList()->parentWidget());
        enter->setContext(Qt::WidgetWithChildrenShortcut);
        connect(enter, &QShortcut::activated, this, &TRemoteListMenu::onEnterKey);
    }
}

void TRemoteListMenu::UpdateCommands() {
    const QModelIndexList rows = frame_.remoteList()->selectionModel()->selectedRows(0);
    const int count = static_cast<int>(rows.size());
    bool oneFile = false;
    if (count == 1) {
        const size_t row = static_cast<size_t>(rows.first().row());
        oneFile = row < frame_.entries().size() && !frame_.entries()[row].isFolder;
    }
    for (Command c :
         {Download, Delete, Move, Properties, MakeDirectory, ExportSelected, Find, AddTask}) {
        if (actions_[c]) actions_[c]->setEnabled(count > 0);
    }
    sortMenu_->setEnabled(count > 0);
    actions_[Rename]->setEnabled(count == 1);
    actions_[CopyUrl]->setEnabled(count == 1);
    actions_[View]->setEnabled(oneFile);
    actions_[Edit]->setEnabled(oneFile);
    if (deleteButton_) deleteButton_->setEnabled(count > 0);
    if (addTaskButton_) addTaskButton_->setEnabled(count > 0);
}

void TRemoteListMenu::onContextMenu(const QPoint& viewportPos) {
    UpdateCommands();
    menu_->popup(frame_.remoteList()->viewport()->mapToGlobal(viewportPos));
}

void TRemoteListMenu::onSortClick(int column) {
    frame_.SetSortColumn(column);
    frame_.SortEntries();
}

void TRemoteListMenu::onEnterKey() {
    frame_.onRemoteDoubleClick();
}

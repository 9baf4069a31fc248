#include "ui/bookmark_manager_form.h"

#include "ui/recent_list.h"
#include "ui/icons.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeWidget* pathList() {
    auto* list = new QTreeWidget;
    list->setColumnCount(2);
    list->setHeaderLabels({QString(), QObject::tr("Path")});
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->header()->setSectionsClickable(false);
    list->header()->resizeSection(0, 18);
    list->setStyleSheet(QStringLiteral("QTreeView::item { border: 1px solid #d0d0d0; }"));
    return list;
}

QWidget* page(QTreeWidget* list, QPushButton* remove, QLabel* serverLine) {
    auto* widget = new QWidget;
    auto* layout = new QVBoxLayout(widget);
    if (serverLine) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QObject::tr("FTP server :")));
        row->addWidget(serverLine, 1);
        layout->addLayout(row);
    }
    layout->addWidget(list, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(remove);
    layout->addLayout(buttons);
    return widget;
}

} // namespace

TBookmarkManagerForm::TBookmarkManagerForm(const QString& serverName, const QString& localFile,
                                           bool showLocal, QWidget* parent)
    : QDialog(parent), localFile_(localFile), showLocal_(showLocal),
      server_(new QLabel(serverName)), pages_(new QTabWidget), ftpList_(pathList()),
      localList_(pathList()) {
    setWindowTitle(tr("Manage Bookmarks"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    resize(397, 287);
    auto* deleteLocal = new QPushButton(tr("&Delete"));
    auto* deleteFtp = new QPushButton(tr("&Delete"));
    connect(deleteLocal, &QPushButton::clicked, this, &TBookmarkManagerForm::onDeleteLocalClick);
    connect(deleteFtp, &QPushButton::clicked, this, &TBookmarkManagerForm::onDeleteFtpClick);
    pages_->addTab(page(localList_, deleteLocal, nullptr), tr("Local"));
    pages_->addTab(page(ftpList_, deleteFtp, server_), tr("FTP"));
    pages_->setTabVisible(0, showLocal);
    pages_->setTabVisible(1, !showLocal);
    pages_->setCurrentIndex(showLocal ? 0 : 1);
    fill(localList_, RecentList::Load(localFile));

    auto* ok = new QPushButton(tr("&OK"));
    auto* cancel = new QPushButton(tr("&Cancel"));
    connect(ok, &QPushButton::clicked, this, &TBookmarkManagerForm::onOkClick);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_, 1);
    layout->addLayout(buttons);
}

void TBookmarkManagerForm::fill(QTreeWidget* list, const QStringList& paths) {
    list->clear();
    for (const QString& path : paths) {
        auto* row = new QTreeWidgetItem(list, {QString(), path});
        row->setIcon(0, TIcons::Get(TIcon::Folder));
    }
}

QStringList TBookmarkManagerForm::paths(const QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(1);
    return out;
}

void TBookmarkManagerForm::SetFtpPaths(const QStringList& paths) {
    fill(ftpList_, paths);
}

QStringList TBookmarkManagerForm::ftpPaths() const {
    return paths(ftpList_);
}

QStringList TBookmarkManagerForm::localPaths() const {
    return paths(localList_);
}

QString TBookmarkManagerForm::serverName() const {
    return server_->text();
}

void TBookmarkManagerForm::onDeleteFtpClick() {
    const QList<QTreeWidgetItem*> rows = ftpList_->selectedItems();
    if (!rows.isEmpty()) delete rows.first();
}

void TBookmarkManagerForm::onDeleteLocalClick() {
    const QList<QTreeWidgetItem*> rows = localList_->selectedItems();
    if (!rows.isEmpty()) delete rows.first();
}

void TBookmarkManagerForm::onOkClick() {
    if (showLocal_) {
        RecentList::Save(localFile_, localPaths());
        accept();
        return;
    }
    if (okHandler_ && okHandler_(*this)) accept();
}

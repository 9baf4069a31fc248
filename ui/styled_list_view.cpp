#include "ui/styled_list_view.h"

#include <QActionGroup>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QToolButton>

#include "ui/icons.h"
#include <QListView>
#include <QTreeView>

TStyledListView::TStyledListView(QWidget* parent)
    : QStackedWidget(parent), report_(new QTreeView), icons_(new QListView) {
    report_->setRootIsDecorated(false);
    report_->setItemsExpandable(false);
    report_->setUniformRowHeights(true);
    report_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // Selecting whole rows in the icon styles too keeps one meaning of "the selected item" for
    // every style: the report view's selection holds rows, and so must the shared one.
    icons_->setSelectionBehavior(QAbstractItemView::SelectRows);
    icons_->setResizeMode(QListView::Adjust);
    icons_->setWrapping(true);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(report_), static_cast<QAbstractItemView*>(icons_)}) {
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QAbstractItemView::doubleClicked, this, &TStyledListView::doubleClicked);
        connect(view, &QWidget::customContextMenuRequested, this,
                &TStyledListView::contextMenuRequested);
        view->installEventFilter(this);
        addWidget(view);
    }
    setCurrentWidget(report_);
}

void TStyledListView::setModel(QAbstractItemModel* model) {
    report_->setModel(model);
    icons_->setModel(model);
    // Both views share the report view's selection, so a style change keeps what is selected.
    QItemSelectionModel* own = icons_->selectionModel();
    icons_->setSelectionModel(report_->selectionModel());
    delete own;
}

bool TStyledListView::eventFilter(QObject* watched, QEvent* event) {
    // Enter opens the current item as a double click does. The views' own "activated" signal is
    // not used because it also follows a double click, which would open the item twice.
    if (event->type() == QEvent::KeyPress && (watched == report_ || watched == icons_)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* view = static_cast<QAbstractItemView*>(watched);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && view->currentIndex().isValid()) {
            emit doubleClicked();
            return true;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}

QItemSelectionModel* TStyledListView::selectionModel() const {
    return report_->selectionModel();
}

QAbstractItemView* TStyledListView::activeView() const {
    return currentWidget() == report_ ? static_cast<QAbstractItemView*>(report_)
                                      : static_cast<QAbstractItemView*>(icons_);
}

QToolButton* TStyledListView::CreateStyleButton() {
    auto* menu = new QMenu(this);
    auto* group = new QActionGroup(this);
    const QString names[4] = {tr("Large icon"), tr("List"), tr("Small icon"), tr("Report")};
    for (int code = 0; code < 4; ++code) {
        QAction* item = menu->addAction(names[code]);
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, [this, code] { emit styleItemPicked(code); });
        items_[code] = item;
    }
    items_[style_]->setChecked(true);
    auto* button = new QToolButton;
    button->setIcon(TIcons::Get(TIcon::ViewStyle));
    button->setToolTip(tr("View style"));
    button->setMenu(menu);
    button->setPopupMode(QToolButton::MenuButtonPopup);
    connect(button, &QToolButton::clicked, this, &TStyledListView::styleButtonClicked);
    return button;
}

QAction* TStyledListView::styleItem(int code) const {
    return code >= 0 && code < 4 ? items_[code] : nullptr;
}

void TStyledListView::StepStyle() {
    step_ = step_ <= 1 ? 4 : step_ - 1;
    SetViewStyleCode(step_ - 1);
}

bool TStyledListView::SetViewStyleCode(int code) {
    if (code < LargeIcon || code > Report) return false;
    style_ = code;
    if (items_[code]) items_[code]->setChecked(true);
    if (code == Report) {
        setCurrentWidget(report_);
        return true;
    }
    if (code == LargeIcon) {
        icons_->setViewMode(QListView::IconMode);
        icons_->setIconSize(QSize(32, 32));
        icons_->setFlow(QListView::LeftToRight);
    } else {
        icons_->setViewMode(QListView::ListMode);
        icons_->setIconSize(QSize(16, 16));
        icons_->setFlow(code == List ? QListView::TopToBottom : QListView::LeftToRight);
    }
    icons_->setWrapping(true);
    setCurrentWidget(icons_);
    return true;
}

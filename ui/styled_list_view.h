#pragma once
// A list that can be shown in the four styles of the program's lists (large icons, list, small
// icons, report). It stacks a report view and an icon view over one model and one selection, so
// switching styles keeps the selection.

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QAction;
class QListView;
class QToolButton;
class QTreeView;

class TStyledListView : public QStackedWidget {
    Q_OBJECT
public:
    // Style codes, as the layout file stores them.
    enum ViewStyle { LargeIcon = 0, List = 1, SmallIcon = 2, Report = 3 };

    explicit TStyledListView(QWidget* parent = nullptr);

    // Shows `model` in both views with one shared selection; the model is not owned.
    void setModel(QAbstractItemModel* model);
    // Returns the selection shared by both views.
    QItemSelectionModel* selectionModel() const;

    // Applies a style code; unknown codes leave the style unchanged. Returns whether it applied.
    bool SetViewStyleCode(int code);
    int viewStyleCode() const { return style_; }

    // Moves the style cycle one step (4, 3, 2, 1, 4, ...: report, small icons, list, large
    // icons) and applies the step's style.
    void StepStyle();
    int styleStep() const { return step_; }

    // Makes the "View style" tool button with its drop-down of the radio items "Large icon",
    // "List", "Small icon", "Report"; it reports through styleButtonClicked and styleItemPicked.
    QToolButton* CreateStyleButton();
    // Returns the drop-down item of `code`, or nullptr before the button was made.
    QAction* styleItem(int code) const;

    // Returns the view showing now.
    QAbstractItemView* activeView() const;
    QTreeView* reportView() const { return report_; }
    QListView* iconView() const { return icons_; }

signals:
    // Forwarded from whichever view shows: a double click on an item, or Enter on the current one.
    void doubleClicked();
    void contextMenuRequested(const QPoint& viewportPos);
    // The style button itself, or one of its drop-down items, was clicked.
    void styleButtonClicked();
    void styleItemPicked(int code);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeView* report_;
    QListView* icons_;
    QAction* items_[4] = {};
    int style_ = Report;
    int step_ = 4;
};

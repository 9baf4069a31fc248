#pragma once
// A list that can be shown in the four styles of the program's lists (large icons, list, small
// icons, report). It stacks a report view and an icon view over one model and one selection, so
// switching styles keeps the selection.

#include <QStackedWidget>

class QAbstractItemModel;
class QAbstractItemView;
class QItemSelectionModel;
class QListView;
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

    // Returns the view showing now.
    QAbstractItemView* activeView() const;
    QTreeView* reportView() const { return report_; }
    QListView* iconView() const { return icons_; }

signals:
    // Forwarded from whichever view shows.
    void doubleClicked();
    void contextMenuRequested(const QPoint& viewportPos);

private:
    QTreeView* report_;
    QListView* icons_;
    int style_ = Report;
};

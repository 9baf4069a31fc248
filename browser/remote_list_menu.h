#pragma once
// The remote list's commands: its pop-up menu, the Delete and Add task toolbar buttons, the keys
// a user expects on the list, and the rule that enables each command by the selection. The
// commands whose work belongs to other features (file operations, view and edit, export, find,
// tasks) are present and follow the selection here; each feature connects its own handler to
// the command's action. Toolbar-only commands (Filter, the bookmark and export drop-downs)
// belong to their features.

#include <QObject>
#include <array>

class QAction;
class QMenu;
class QPoint;
class TBrowserFrame;

class TRemoteListMenu : public QObject {
    Q_OBJECT
public:
    // The remote list's commands, in the order of the pop-up menu.
    enum Command {
        Download,
        View,
        Edit,
        Delete,
        Rename,
        Move,
        Properties,
        MakeDirectory,
        CopyUrl,
        ExportSelected,
        Find,
        AddTask,
        SortByName,
        SortBySize,
        SortByType,
        SortByDate,
        CommandCount
    };

    // Returns the frame's command set, making it on first use; it lives as long as the frame.
    static TRemoteListMenu& Of(TBrowserFrame& frame);

    // Returns the action of `command` (the pop-up item; Download is the toolbar's own button).
    QAction* action(Command command) const;
    // Returns the Delete and Add task toolbar buttons.
    QAction* deleteButton() const { return deleteButton_; }
    QAction* addTaskButton() const { return addTaskButton_; }
    QMenu* menu() const { return menu_; }
    QMenu* sortMenu() const { return sortMenu_; }

    // Enables the commands by the remote list's selection: one row enables Rename and Copy URL,
    // and View and Edit for a file; any selection enables the rest; none disables them all.
    void UpdateCommands();
    // Opens the pop-up menu at `viewportPos` of the list, after updating the commands.
    void onContextMenu(const QPoint& viewportPos);
    // Sort items: sets the frame's sort column and sorts.
    void onSortClick(int column);
    // Enter on the list: the double-click of the selected row.
    void onEnterKey();
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TRemoteListMenu(TBrowserFrame& frame);
    QAction* add(Command command, const QString& text);
    void installKeys();

    TBrowserFrame& frame_;
    QMenu* menu_;
    QMenu* sortMenu_ = nullptr;
    std::array<QAction*, CommandCount> actions_{};
    QAction* deleteButton_ = nullptr;
    QAction* addTaskButton_ = nullptr;
};

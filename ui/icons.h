#pragma once
// The program's own small icons, drawn with QPainter at first use so that no artwork is shipped.

#include <QIcon>

enum class TIcon {
    File,
    Folder,
    NewSite,
    Site,
    QuickConnect,
    Edit,
    Delete,
    Connect,
    Disconnect,
    ViewStyle,
    Help,
    Browse,
    Options,
    LogSent,
    LogReceived,
    LogError,
    Back,
    Refresh,
    Upload,
    Download,
    Day,
    Execute,
    Expand,
    Collapse,
    Bookmark,
    Task,
};

class TIcons {
public:
    // Returns the icon of `kind` (drawn once, then shared); requires a QGuiApplication.
    static QIcon Get(TIcon kind);
};

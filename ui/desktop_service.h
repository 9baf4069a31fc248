#pragma once
// What the program asks of the desktop: opening files and web or mail addresses with the user's
// programs, starting a named program, type names and icons of file names, the clipboard and the
// help book. Tests replace only what leaves the process (opening and starting programs) with the
// recording double; the rest runs for real.

#include <QHash>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QUrl>

class THelpForm;

class TDesktopService {
public:
    // Requires the folder of the program's executable, where the help book is looked for first.
    explicit TDesktopService(const QString& programFolder);
    virtual ~TDesktopService();
    TDesktopService(const TDesktopService&) = delete;
    TDesktopService& operator=(const TDesktopService&) = delete;

    // Opens a web (https:) or mail (mailto:) address; returns false when no program took it.
    virtual bool OpenUrl(const QUrl& url);
    // Opens a local file with its associated program; returns false when none is associated.
    virtual bool OpenFile(const QString& path);
    // Starts `program` detached with `file` as its one argument; returns false when it did not
    // start.
    virtual bool StartProgram(const QString& program, const QString& file);
    // Returns the first plain-text editor found on the PATH, empty when there is none.
    virtual QString FindTextEditor() const;

    // Returns the desktop's type name for a file name, asked by name alone and cached per
    // extension.
    QString TypeName(const QString& fileName);
    // Returns the icon for a file name (cached per extension), or the folder icon.
    QIcon FileIcon(const QString& fileName);
    QIcon FolderIcon() const;

    // Puts plain text on the clipboard / returns the clipboard's plain text.
    void SetClipboardText(const QString& text);
    QString ClipboardText() const;

    // Returns the full path of the help book "Oxbrook.html": beside the program, else in
    // "../share/oxbrook/" from the program's folder, else in "oxbrook/" of the desktop's shared
    // data folders; when none exists, the path beside the program.
    QString HelpFile() const;
    // Shows the help window at the topic with identifier `topic`; an empty id shows the contents.
    void ShowHelp(const QString& topic = QString());
    // Returns the help window, or nullptr before help was first shown.
    THelpForm* helpForm() const;

private:
    static QString extensionKey(const QString& fileName);

    QString programFolder_;
    QHash<QString, QString> typeNames_;
    QHash<QString, QIcon> icons_;
    QPointer<THelpForm> helpForm_;
};

// Returns the installed service; requires that one was installed with SetDesktopService.
TDesktopService& Desktop();
// Installs `service` (not owned) and returns the one it replaces; nullptr uninstalls.
TDesktopService* SetDesktopService(TDesktopService* service);

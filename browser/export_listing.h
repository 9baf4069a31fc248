#pragma once
// "Export whole directories" and "Export selected": remote folder trees written into a text file
// drawn as a tree (a heading, one line per entry, a rule and a summary), and "Copy URL to
// clipboard" for the selected entry. The box-drawing characters are written as two-byte codes
// (A9 C0, A9 A4, A9 A6, A9 B8), the rest of the text as UTF-8, every line ended by CR LF.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

class TBrowserFrame;
class TRemoteWalk;

// One line of an export: a folder "<name>" with its entries, or a file leaf.
struct TExportNode {
    QString text;
    std::vector<TExportNode> children;
};

class TExportListing : public QObject {
    Q_OBJECT
public:
    // Returns the frame's export commands, attaching them on first use.
    static TExportListing& Of(TBrowserFrame& frame);

    // The commands: each asks for the file, builds the tree and writes it.
    void onExportWholeClick();
    void onExportSelectedClick();
    void onCopyUrlClick();
    // Exports everything below the login folder / the selected rows into `fileName`. Returns
    // false when the walk failed (logged) or the file could not be written; nothing is written
    // after a failed walk.
    bool ExportWhole(const QString& fileName);
    bool ExportSelected(const QString& fileName);
    // Returns the ftp URL of entry `name` of the current folder, with user name, password and
    // path percent-encoded where a character would change the URL's meaning.
    QString UrlOf(const QString& name) const;

    // Returns size / 1024 rounded to the nearest (ties to even) followed by "KB", or the size
    // followed by "bytes" when that is 0.
    static QString FormatSize(int64_t size);
    // Returns the file's bytes for the tree under `root`, with `now` in the summary line.
    static QByteArray ExportText(const TExportNode& root, const QDateTime& now);

    // Folder of the last export file.
    QString exportFolder;

private:
    explicit TExportListing(TBrowserFrame& frame);
    QString chooseFile(const QString& caption);
    void buildTree(TRemoteWalk& walk, const QString& path, const QString& label,
                   TExportNode& parent, int depth);
    bool writeFile(const QString& fileName, const TExportNode& root);

    TBrowserFrame& frame_;
};

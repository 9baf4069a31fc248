#pragma once
// Walks of a remote folder tree (delete, permission change, export). A walk addresses every
// folder by the full path it built, never by a chain of relative steps, so a name the server
// lists can only ever lead one level down: "." and ".." are skipped, a name holding "/" is
// skipped with a line in the information pane, and a link entry is never entered. The walk
// stops at a depth of 256 levels. However it ends, the server is taken back to the folder the
// page was in and browsing is enabled again.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class TBrowserFrame;

// One entry of a walked folder.
struct TRemoteItem {
    QString name;
    bool isFolder = false;
    bool isLink = false;
    int64_t size = 0;
    QString modified;
};

// Runs `work` on `frame`'s session; an error it raises is logged in the information pane with
// the server's reply (icon 2). Returns false when it failed.
bool RunLogged(TBrowserFrame& frame, const std::function<void()>& work);

// Returns `folder` and `name` joined by exactly one "/".
QString JoinRemote(const QString& folder, const QString& name);

class TRemoteWalk {
public:
    // The deepest level a walk enters.
    static constexpr int kMaxDepth = 256;

    // Starts a walk on `frame`: disables browsing and remembers the current folder.
    explicit TRemoteWalk(TBrowserFrame& frame);
    // Returns the server to the folder the walk started in (a failure is logged) and enables
    // browsing again.
    ~TRemoteWalk();
    TRemoteWalk(const TRemoteWalk&) = delete;
    TRemoteWalk& operator=(const TRemoteWalk&) = delete;

    // Runs `work`; an error it raises is logged with the server's last reply (icon 2). Returns
    // false when it failed.
    bool Run(const std::function<void()>& work);
    // Enters `path` unless the walk is there already. Raises the engine's errors.
    void Enter(const QString& path);
    // Enters `path` (a folder `depth` levels below the start of the walk) and returns its
    // entries in listing order without "." and "..", and without names that are not one plain
    // path component. Raises when `depth` is past kMaxDepth, and the engine's errors.
    std::vector<TRemoteItem> List(const QString& path, int depth);
    // Returns the folder the walk started in.
    const QString& startPath() const { return start_; }

private:
    TBrowserFrame& frame_;
    QString start_;
    QString at_;
};

#pragma once
// What the pages on the left and the site list need of the window that hosts the browser pages.

#include <QString>

class TSessionHost {
public:
    virtual ~TSessionHost() = default;
    // Shows the browser page captioned `name`, creating and connecting it when needed; `quick`
    // marks a quick-connect session.
    virtual void OpenSession(const QString& name, bool quick) = 0;
    // Gives every page captioned `oldName` the caption `newName` and its frame that site name.
    virtual void RenameSessionPages(const QString& oldName, const QString& newName) = 0;
};

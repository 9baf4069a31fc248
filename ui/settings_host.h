#pragma once
// What the settings dialogs and the site editor need of each other and of the main window,
// without including one another: the window opens the options dialog and reloads every browser
// page's options; the open site editor keeps its proxy and SOCKS choice lists in step with the
// entries added, renamed or removed in the options dialog.

#include <QString>

class TSettingsHost {
public:
    // The options dialog's pages, in order.
    enum Page { AntiIdlePage, TransferPage, ProxyPage, SocksPage, EditorsPage, TempFolderPage };

    virtual ~TSettingsHost() = default;
    // Shows the options dialog modally on `page`.
    virtual void ShowOptions(int page) = 0;
    // Makes every browser frame, those of closed pages included, re-read the options.
    virtual void ReloadAllOptions() = 0;
};

// Returns the installed host, or nullptr when none is (then the "Option..." buttons do nothing).
TSettingsHost* SettingsHost();
// Installs `host` (not owned) and returns the one it replaces; nullptr uninstalls.
TSettingsHost* SetSettingsHost(TSettingsHost* host);

// The proxy and SOCKS choice lists of the site editor while it is open.
class TEntryChoices {
public:
    enum Kind { Proxy, Socks };

    virtual ~TEntryChoices() = default;
    // Appends `name` to the end of the list of `kind`.
    virtual void AddChoice(Kind kind, const QString& name) = 0;
    // Replaces the first item equal to `oldName` with `newName`.
    virtual void RenameChoice(Kind kind, const QString& oldName, const QString& newName) = 0;
    // Deletes the last item equal to `name`.
    virtual void RemoveChoice(Kind kind, const QString& name) = 0;
};

// Returns the open site editor's choice lists, or nullptr when no site editor is open.
TEntryChoices* OpenEntryChoices();
// Set by the site editor while it exists; returns the former value.
TEntryChoices* SetOpenEntryChoices(TEntryChoices* choices);

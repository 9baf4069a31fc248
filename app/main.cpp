// The program's entry point: one application object, one data module, one main window.

#include "ftp/anti_freeze.h"
#include "data/app_paths.h"
#include "app/application.h"
#include "data/data_module.h"
#include "ui/desktop_service.h"
#include "app/main_form.h"
#include "ui/qt_prompt_service.h"
#include "ui/window_pump.h"
#include "settings/store_login_form.h"

#include <clocale>

int main(int argc, char** argv) {
    // Text comparison in the store follows the user's locale, as the lists on screen do.
    std::setlocale(LC_ALL, "");
    TApplication app(argc, argv);

    const AppPaths paths(QCoreApplication::applicationDirPath());
    TQtPromptService prompt;
    SetPromptService(&prompt);
    TDesktopService desktop(paths.folder());
    SetDesktopService(&desktop);

    // Blocking engine calls keep the window alive by pumping its events on this thread.
    TNetAntiFreeze antiFreeze;
    InstallWindowPump(antiFreeze);

    // An encrypted store file is opened by asking its password in the "Database Login" dialog.
    InstallStoreLogin();
    TDataModule dataModule(paths.folder());
    TMainForm mainForm(paths, dataModule);
    mainForm.showMaximized();
    if (mainForm.startFailed()) return 1;
    const int code = app.exec();
    RemoveWindowPump();
    RemoveStoreLogin();
    SetDesktopService(nullptr);
    SetPromptService(nullptr);
    return code;
}

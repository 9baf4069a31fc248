// The program's entry point: one application object, one data module, one main window.

#include "app/application.h"
#include "app/main_form.h"
#include "app/termination_watch.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "ftp/anti_freeze.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"
#include "ui/qt_prompt_service.h"
#include "ui/window_pump.h"
#include "settings/store_login_form.h"

#include <clocale>

int main(int argc, char** argv) {
    // Text comparison in the store follows the user's locale, as the lists on screen do.
    std::setlocale(LC_ALL, "");
    TApplication app(argc, argv);

    const QString programFolder = QCoreApplication::applicationDirPath();
    TQtPromptService prompt;
    SetPromptService(&prompt);
    TDesktopService desktop(programFolder);
    SetDesktopService(&desktop);

    QString why;
    const QString dataFolder = AppPaths::DataFolderFor(programFolder, &why);
    if (dataFolder.isEmpty()) {
        ShowError(
            nullptr,
            QCoreApplication::translate("main", "Oxbrook cannot keep its files: %1.").arg(why));
        SetDesktopService(nullptr);
        SetPromptService(nullptr);
        return 1;
    }
    const AppPaths paths(dataFolder);

    // Blocking engine calls keep the window alive by pumping its events on this thread.
    TNetAntiFreeze antiFreeze;
    InstallWindowPump(antiFreeze);

    // An encrypted store file is opened by asking its password in the "Database Login" dialog.
    InstallStoreLogin();
    TDataModule dataModule(paths.folder());
    TMainForm mainForm(paths, dataModule);
    TTerminationWatch termination([&mainForm] { mainForm.close(); });
    mainForm.ShowAsLeft();
    if (mainForm.startFailed()) return 1;
    const int code = app.exec();
    RemoveWindowPump();
    RemoveStoreLogin();
    SetDesktopService(nullptr);
    SetPromptService(nullptr);
    return code;
}

#include "browser/remote_tools.h"

#include "browser/browser_frame.h"
#include "browser/export_listing.h"
#include "browser/find_form.h"
#include "browser/remote_bookmarks.h"
#include "browser/remote_list_menu.h"
#include "browser/remote_operations.h"
#include "browser/view_edit.h"
#include "data/app_paths.h"
#include "data/data_module.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace {

QString programFile(TBrowserFrame& frame, const char* name) {
    return AppPaths(frame.dataModule().programFolder()).file(QString::fromLatin1(name));
}

QAction* toolButton(TBrowserFrame& frame, TIcon icon, const QString& text) {
    auto* button = new QAction(TIcons::Get(icon), text, &frame);
    button->setObjectName(text);
    frame.toolBar()->addAction(button);
    frame.AddBrowseAction(button);
    return button;
}

} // namespace

void RunFindForm(TBrowserFrame& frame) {
    if (!frame.browseEnabled()) return;
    TFindForm form(frame, programFile(frame, "Find.dat"), &frame);
    Prompt().ExecForm(&form);
}

void RunFilterForm(TBrowserFrame& frame) {
    if (!frame.browseEnabled()) return;
    TFilterForm form(frame, programFile(frame, "Filter.dat"), &frame);
    Prompt().ExecForm(&form);
}

void AttachRemoteTools(TBrowserFrame& frame) {
    TRemoteListMenu& menu = TRemoteListMenu::Of(frame);
    TRemoteOperations* ops = &TRemoteOperations::Of(frame);
    TViewEdit* viewEdit = &TViewEdit::Of(frame);
    TExportListing* exporter = &TExportListing::Of(frame);
    TBrowserFrame* page = &frame;
    using C = TRemoteListMenu::Command;
    const auto on = [&menu](C command, auto handler) {
        QObject::connect(menu.action(command), &QAction::triggered, menu.action(command), handler);
    };
    on(C::Delete, [ops] { ops->onDeleteClick(); });
    on(C::Rename, [ops] { ops->onRenameClick(); });
    on(C::Move, [ops] { ops->onMoveClick(); });
    on(C::Properties, [ops] { ops->onPropertiesClick(); });
    on(C::MakeDirectory, [ops] { ops->onMakeDirectoryClick(); });
    on(C::View, [viewEdit] { viewEdit->onViewClick(); });
    on(C::Edit, [viewEdit] { viewEdit->onEditClick(); });
    on(C::CopyUrl, [exporter] { exporter->onCopyUrlClick(); });
    on(C::ExportSelected, [exporter] { exporter->onExportSelectedClick(); });
    on(C::Find, [page] { RunFindForm(*page); });

    if (!frame.toolBar()) return;
    frame.toolBar()->addSeparator();
    QObject::connect(toolButton(frame, TIcon::NewSite, QObject::tr("Make new directory")),
                     &QAction::triggered, ops, &TRemoteOperations::onMakeDirectoryClick);
    QObject::connect(toolButton(frame, TIcon::Browse, QObject::tr("Find...")), &QAction::triggered,
                     &frame, [page] { RunFindForm(*page); });
    QObject::connect(toolButton(frame, TIcon::Options, QObject::tr("Filter")), &QAction::triggered,
                     &frame, [page] { RunFilterForm(*page); });
    TRemoteBookmarks::Of(frame);

    QAction* exportButton = toolButton(frame, TIcon::File, QObject::tr("Export whole directories"));
    auto* exportMenu = new QMenu(&frame);
    QAction* whole = exportMenu->addAction(QObject::tr("Export whole directories"), exporter,
                                           &TExportListing::onExportWholeClick);
    exportMenu->setDefaultAction(whole);
    exportMenu->addAction(menu.action(C::ExportSelected));
    exportButton->setMenu(exportMenu);
    if (auto* tool = qobject_cast<QToolButton*>(frame.toolBar()->widgetForAction(exportButton)))
        tool->setPopupMode(QToolButton::MenuButtonPopup);
    QObject::connect(exportButton, &QAction::triggered, exporter,
                     &TExportListing::onExportWholeClick);
}

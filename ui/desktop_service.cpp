#include "ui/desktop_service.h"

#include "data/app_paths.h"
#include "ui/help_form.h"
#include "ui/icons.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <cassert>

namespace {
TDesktopService* installedDesktop = nullptr;
}

TDesktopService& Desktop() {
    assert(installedDesktop && "no desktop service installed");
    return *installedDesktop;
}

TDesktopService* SetDesktopService(TDesktopService* service) {
    TDesktopService* previous = installedDesktop;
    installedDesktop = service;
    return previous;
}

TDesktopService::TDesktopService(const QString& programFolder) : programFolder_(programFolder) {}

TDesktopService::~TDesktopService() {
    delete helpForm_.data();
}

bool TDesktopService::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool TDesktopService::OpenFile(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool TDesktopService::StartProgram(const QString& program, const QString& file) {
    return QProcess::startDetached(program, {file});
}

QString TDesktopService::FindTextEditor() const {
    // A short list of common plain-text editors, tried in order of how likely a desktop has them.
    static const char* const editors[] = {"gedit", "kate",    "mousepad",   "pluma",
                                          "xed",   "leafpad", "featherpad", "gnome-text-editor"};
    for (const char* name : editors) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!found.isEmpty()) return found;
    }
    return {};
}

QString TDesktopService::extensionKey(const QString& fileName) {
    return QFileInfo(fileName).suffix().toLower();
}

QString TDesktopService::TypeName(const QString& fileName) {
    const QString key = extensionKey(fileName);
    auto found = typeNames_.constFind(key);
    if (found != typeNames_.constEnd()) return *found;
    static QMimeDatabase mimeDatabase;
    const QString name =
        mimeDatabase.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).comment();
    typeNames_.insert(key, name);
    return name;
}

QIcon TDesktopService::FileIcon(const QString& fileName) {
    const QString key = extensionKey(fileName);
    auto found = icons_.constFind(key);
    if (found != icons_.constEnd()) return *found;
    static QMimeDatabase mimeDatabase;
    const QMimeType type = mimeDatabase.mimeTypeForFile(fileName, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(
        type.iconName(), QIcon::fromTheme(type.genericIconName(), TIcons::Get(TIcon::File)));
    icons_.insert(key, icon);
    return icon;
}

QIcon TDesktopService::FolderIcon() const {
    return QIcon::fromTheme(QStringLiteral("folder"), TIcons::Get(TIcon::Folder));
}

void TDesktopService::SetClipboardText(const QString& text) {
    QApplication::clipboard()->setText(text);
}

QString TDesktopService::ClipboardText() const {
    return QApplication::clipboard()->text();
}

THelpForm* TDesktopService::helpForm() const {
    return helpForm_.data();
}

QString TDesktopService::HelpFile() const {
    const QString name = QStringLiteral("Oxbrook.html");
    // Beside the program for a build or a portable copy; in the installation's share folder
    // (found from bin/, so any prefix works); then wherever the desktop keeps shared data.
    QStringList candidates{
        AppPaths(programFolder_).file(name),
        AppPaths::join(QDir(programFolder_).absoluteFilePath(QStringLiteral("../share/oxbrook")),
                       name)};
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                            QStringLiteral("oxbrook/") + name);
    for (const QString& candidate : candidates)
        if (QFileInfo::exists(candidate)) return QDir::cleanPath(candidate);
    return candidates.first();
}

void TDesktopService::ShowHelp(const QString& topic) {
    if (!helpForm_) helpForm_ = new THelpForm(HelpFile());
    if (topic.isEmpty())
        helpForm_->ShowContents();
    else
        helpForm_->ShowTopic(topic);
    helpForm_->show();
    helpForm_->raise();
}

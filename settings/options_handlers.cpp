// The options dialog's work: loading and saving the tables, the add rules of the ticked lists,
// the proxy and SOCKS pages, the editors and the temporary folder.

#include "settings/options_form.h"

#include "data/data_module.h"
#include "settings/entry_form.h"
#include "ui/desktop_service.h"
#include "ui/prompt_service.h"
#include "ui/settings_host.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

namespace {

const char* const kModeCodes[] = {"auto", "ascii", "binary"};
const char* const kCompleteCodes[] = {"none", "disconnect", "quit", "exit"};

QListWidgetItem* appendChecked(QListWidget* list, const QString& text, bool ticked) {
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    return item;
}

void appendRow(QTreeWidget* list, const QStringList& cells) {
    new QTreeWidgetItem(list, cells);
}

// Chooses the radio button whose code equals `code` exactly; none matching leaves the choice.
template <size_t N>
void chooseByCode(const QString& code, const char* const (&codes)[N],
                  std::initializer_list<QRadioButton*> radios) {
    size_t i = 0;
    for (QRadioButton* radio : radios) {
        if (i < N && code == QLatin1String(codes[i])) radio->setChecked(true);
        ++i;
    }
}

template <size_t N>
QString codeOf(const char* const (&codes)[N], std::initializer_list<QRadioButton*> radios) {
    size_t i = 0;
    for (QRadioButton* radio : radios) {
        if (i < N && radio->isChecked()) return QLatin1String(codes[i]);
        ++i;
    }
    return QLatin1String(codes[0]);
}

} // namespace

void TOptionsForm::fillChecked(QListWidget* list, CheckedList which) {
    list->clear();
    for (const CheckedItem& item : dataModule_.LoadCheckedList(which))
        appendChecked(list, item.text, item.tf);
}

void TOptionsForm::LoadSettings() {
    loading_ = true;
    fillChecked(commandList, CheckedList::AntiIdle);
    fillChecked(extList, CheckedList::AsciiExt);
    proxyList->clear();
    for (const ProxyRecord& proxy : dataModule_.LoadProxies())
        appendRow(proxyList, {proxy.name, proxy.server, proxy.typeName});
    socksList->clear();
    for (const SocksRecord& socks : dataModule_.LoadSocks())
        appendRow(socksList, {socks.name, socks.host, socks.svname});
    const OptionsRecord options = dataModule_.ReadOptions();
    antiIdleGroup->setChecked(options.eanti);
    intervalSpin->setValue(options.interval);
    chooseByCode(options.transfermode, kModeCodes, {autoRadio, asciiRadio, binaryRadio});
    chooseByCode(options.transferc, kCompleteCodes,
                 {noneRadio, disconnectRadio, quitRadio, exitRadio});
    recvSpin->setValue(options.recvb);
    sendSpin->setValue(options.sendb);
    appeCheck->setChecked(options.appe);
    clearCheck->setChecked(options.ifclear);
    tempEdit->setText(options.temppath);
    editorList->clear();
    for (const EditorPair& editor : dataModule_.LoadEditors())
        appendRow(editorList, {editor.ext, editor.editor});
    loading_ = false;
}

void TOptionsForm::saveChecked(QListWidget* list, CheckedList which) {
    std::vector<CheckedItem> items;
    for (int i = 0; i < list->count(); ++i)
        items.push_back({list->item(i)->text(), list->item(i)->checkState() == Qt::Checked});
    dataModule_.SaveCheckedList(which, items);
}

void TOptionsForm::onOkClick() {
    std::vector<EditorPair> editors;
    for (int i = 0; i < editorList->topLevelItemCount(); ++i)
        editors.push_back(
            {editorList->topLevelItem(i)->text(0), editorList->topLevelItem(i)->text(1)});
    dataModule_.SaveEditors(editors);
    saveChecked(commandList, CheckedList::AntiIdle);
    saveChecked(extList, CheckedList::AsciiExt);
    OptionsRecord options;
    options.eanti = antiIdleGroup->isChecked();
    options.interval = intervalSpin->value();
    options.transfermode = codeOf(kModeCodes, {autoRadio, asciiRadio, binaryRadio});
    options.transferc = codeOf(kCompleteCodes, {noneRadio, disconnectRadio, quitRadio, exitRadio});
    options.recvb = recvSpin->value();
    options.sendb = sendSpin->value();
    options.appe = appeCheck->isChecked();
    options.ifclear = clearCheck->isChecked();
    options.temppath = tempEdit->text();
    dataModule_.WriteOptions(options);
    if (host_) host_->ReloadAllOptions();
    accept();
}

void TOptionsForm::onCancelClick() {
    reject();
}

void TOptionsForm::onHelpClick() {
    const QString topic = helpTopic();
    if (!topic.isEmpty()) Desktop().ShowHelp(topic);
}

void TOptionsForm::addChecked(QListWidget* list, const QString& caption) {
    QString typed;
    if (!Prompt().InputText(this, caption, QString(), typed)) return;
    if (typed.trimmed().isEmpty()) return;
    const QString upper = typed.toUpper();
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().toUpper() == upper) {
            list->setCurrentRow(i);
            return;
        }
    }
    loading_ = true;
    appendChecked(list, upper, true);
    loading_ = false;
}

void TOptionsForm::onAddCommandClick() {
    addChecked(commandList, tr("Input Command"));
}

void TOptionsForm::onAddExtClick() {
    addChecked(extList, tr("Input filename extension"));
}

void TOptionsForm::onDeleteCommandClick() {
    qDeleteAll(commandList->selectedItems());
}

void TOptionsForm::onDeleteExtClick() {
    qDeleteAll(extList->selectedItems());
}

void TOptionsForm::writeTick(CheckedList which, QListWidgetItem* item) {
    // A tick is kept even when the dialog is cancelled; an item added since the dialog was
    // shown has no record yet and is written by OK.
    if (loading_ || !item) return;
    dataModule_.SetChecked(which, item->text(), item->checkState() == Qt::Checked);
}

void TOptionsForm::onCommandChanged(QListWidgetItem* item) {
    writeTick(CheckedList::AntiIdle, item);
}

void TOptionsForm::onExtChanged(QListWidgetItem* item) {
    writeTick(CheckedList::AsciiExt, item);
}

void TOptionsForm::onProxyAddClick() {
    TProxyEntryForm form(dataModule_, tr("Add Proxy"), this);
    Prompt().ExecForm(&form);
}

void TOptionsForm::onSocksAddClick() {
    TSocksEntryForm form(dataModule_, tr("Add Socks"), this);
    Prompt().ExecForm(&form);
}

void TOptionsForm::editEntry(bool socks) {
    QTreeWidget* list = socks ? socksList : proxyList;
    QTreeWidgetItem* row = list->currentItem();
    if (!row || !row->isSelected()) return;
    if (socks) {
        const std::optional<SocksRecord> record = dataModule_.FindSocks(row->text(0));
        if (!record) return;
        TSocksEntryForm form(dataModule_, tr("Edit Socks"), this);
        form.LoadRecord(*record);
        Prompt().ExecForm(&form);
    } else {
        const std::optional<ProxyRecord> record = dataModule_.FindProxy(row->text(0));
        if (!record) return;
        TProxyEntryForm form(dataModule_, tr("Edit Proxy"), this);
        form.LoadRecord(*record);
        Prompt().ExecForm(&form);
    }
}

void TOptionsForm::onProxyEditClick() {
    editEntry(false);
}

void TOptionsForm::onSocksEditClick() {
    editEntry(true);
}

void TOptionsForm::removeEntry(bool socks) {
    QTreeWidget* list = socks ? socksList : proxyList;
    QTreeWidgetItem* row = list->currentItem();
    if (!row || !row->isSelected()) return;
    const QString name = row->text(0);
    const bool removed = socks ? dataModule_.DeleteSocks(name) : dataModule_.DeleteProxy(name);
    if (!removed) return;
    if (TEntryChoices* choices = OpenEntryChoices())
        choices->RemoveChoice(socks ? TEntryChoices::Socks : TEntryChoices::Proxy, name);
    delete row;
}

void TOptionsForm::onProxyRemoveClick() {
    removeEntry(false);
}

void TOptionsForm::onSocksRemoveClick() {
    removeEntry(true);
}

void TOptionsForm::AppendEntryRow(bool socks, const QStringList& cells) {
    appendRow(socks ? socksList : proxyList, cells);
}

void TOptionsForm::SetSelectedEntryRow(bool socks, const QStringList& cells) {
    QTreeWidgetItem* row = (socks ? socksList : proxyList)->currentItem();
    if (!row) return;
    for (int c = 0; c < cells.size(); ++c)
        row->setText(c, cells[c]);
}

void TOptionsForm::onEditorBrowseClick() {
    // Programs on this system carry no common extension, so every file is offered.
    const QString file = Prompt().OpenFileName(this, tr("Editor"), QString(), tr("Programs (*)"));
    if (!file.isEmpty()) editorEdit->setText(file);
}

void TOptionsForm::onEditorAddClick() {
    if (extensionEdit->text().isEmpty() || editorEdit->text().isEmpty()) return;
    appendRow(editorList, {extensionEdit->text(), editorEdit->text()});
    extensionEdit->clear();
}

void TOptionsForm::onEditorDeleteClick() {
    qDeleteAll(editorList->selectedItems());
}

void TOptionsForm::onTempBrowseClick() {
    const QString folder = Prompt().ChooseFolder(this, tr("Temporary folder"), tempEdit->text());
    if (!folder.isEmpty()) tempEdit->setText(folder);
}

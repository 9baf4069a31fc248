#include "settings/options_form.h"

#include "data/data_module.h"
#include "ui/icons.h"
#include "ui/prompt_service.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TOptionsForm* OptionsForm = nullptr;

namespace {

// A list of check-box items laid out in columns, as the keep-alive and extension lists are.
QListWidget* makeCheckedList() {
    auto* list = new QListWidget;
    list->setFlow(QListView::TopToBottom);
    list->setWrapping(true);
    list->setResizeMode(QListView::Adjust);
    list->setGridSize(QSize(92, 20));
    return list;
}

QTreeWidget* makeReportList(const QStringList& columns) {
    auto* list = new QTreeWidget;
    list->setColumnCount(columns.size());
    list->setHeaderLabels(columns);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return list;
}

QVBoxLayout* buttonColumn(std::initializer_list<QPushButton*> buttons) {
    auto* column = new QVBoxLayout;
    for (QPushButton* button : buttons)
        column->addWidget(button);
    column->addStretch(1);
    return column;
}

QToolButton* browseButton() {
    auto* button = new QToolButton;
    button->setIcon(TIcons::Get(TIcon::Browse));
    button->setToolTip(QObject::tr("Browse"));
    return button;
}

} // namespace

TOptionsForm::TOptionsForm(TDataModule& dataModule, TSettingsHost* host, QWidget* parent)
    : QDialog(parent), dataModule_(dataModule), host_(host) {
    setObjectName(QStringLiteral("OptionsForm"));
    setWindowTitle(tr("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint |
                   Qt::WindowTitleHint);
    OptionsForm = this;

    pages = new QTabWidget;
    pages->addTab(buildAntiIdlePage(), tr("Anti-Idle"));
    pages->addTab(buildTransferPage(), tr("Transfer"));
    pages->addTab(buildEntryPage(false), tr("Proxy"));
    pages->addTab(buildEntryPage(true), tr("Socks"));
    pages->addTab(buildEditorsPage(), tr("Editors"));
    pages->addTab(buildTempPage(), tr("Temporary folder"));

    helpButton = new QPushButton(tr("&Help"));
    okButton = new QPushButton(tr("&OK"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(tr("&Cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(helpButton);
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages, 1);
    layout->addLayout(buttons);
    // Wide enough for the tab captions and the three-column lists on every style.
    setFixedSize(QSize(480, 400).expandedTo(sizeHint()));

    connect(helpButton, &QPushButton::clicked, this, &TOptionsForm::onHelpClick);
    connect(okButton, &QPushButton::clicked, this, &TOptionsForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &TOptionsForm::onCancelClick);
}

TOptionsForm::~TOptionsForm() {
    if (OptionsForm == this) OptionsForm = nullptr;
}

QWidget* TOptionsForm::buildAntiIdlePage() {
    auto* page = new QWidget;
    antiIdleGroup = new QGroupBox(tr("Enabled anti-idle"));
    antiIdleGroup->setCheckable(true);
    antiIdleGroup->setChecked(true);
    intervalSpin = new QSpinBox;
    intervalSpin->setRange(1, 99);
    intervalSpin->setValue(30);
    commandList = makeCheckedList();
    addCommandButton = new QPushButton(tr("&Add..."));
    deleteCommandButton = new QPushButton(tr("&Delete"));

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(new QLabel(tr("Interval")));
    intervalRow->addWidget(intervalSpin);
    intervalRow->addWidget(new QLabel(tr("second")));
    intervalRow->addStretch(1);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(commandList, 1);
    listRow->addLayout(buttonColumn({addCommandButton, deleteCommandButton}));
    auto* group = new QVBoxLayout(antiIdleGroup);
    group->addLayout(intervalRow);
    group->addWidget(new QLabel(tr("Command")));
    group->addLayout(listRow, 1);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(antiIdleGroup);

    connect(addCommandButton, &QPushButton::clicked, this, &TOptionsForm::onAddCommandClick);
    connect(deleteCommandButton, &QPushButton::clicked, this, &TOptionsForm::onDeleteCommandClick);
    connect(commandList, &QListWidget::itemChanged, this, &TOptionsForm::onCommandChanged);
    return page;
}

QWidget* TOptionsForm::buildTransferPage() {
    auto* page = new QWidget;
    auto* modeGroup = new QGroupBox(tr("Transfer Mode"));
    autoRadio = new QRadioButton(tr("Auto"));
    asciiRadio = new QRadioButton(tr("ASCII"));
    binaryRadio = new QRadioButton(tr("Binary"));
    autoRadio->setChecked(true);
    extList = makeCheckedList();
    addExtButton = new QPushButton(tr("Add..."));
    deleteExtButton = new QPushButton(tr("Delete"));
    auto* radios = new QVBoxLayout;
    radios->addWidget(autoRadio);
    radios->addWidget(asciiRadio);
    radios->addWidget(binaryRadio);
    radios->addStretch(1);
    auto* extColumn = new QVBoxLayout;
    auto* extLabel = new QLabel(tr("Use ASCII mode for files without extensions"));
    extLabel->setWordWrap(true);
    extColumn->addWidget(extLabel);
    auto* extRow = new QHBoxLayout;
    extRow->addWidget(extList, 1);
    extRow->addLayout(buttonColumn({addExtButton, deleteExtButton}));
    extColumn->addLayout(extRow, 1);
    auto* mode = new QHBoxLayout(modeGroup);
    mode->addLayout(radios);
    mode->addLayout(extColumn, 1);

    auto* bufferGroup = new QGroupBox(tr("Buffer size"));
    recvSpin = new QSpinBox;
    sendSpin = new QSpinBox;
    for (QSpinBox* spin : {recvSpin, sendSpin}) {
        spin->setRange(kMinBufferSize, kMaxBufferSize);
        spin->setSuffix(tr(" bytes"));
    }
    recvSpin->setValue(2048);
    sendSpin->setValue(1024);
    auto* buffers = new QFormLayout(bufferGroup);
    buffers->addRow(tr("Recv Buffer size"), recvSpin);
    buffers->addRow(tr("Send Buffer size"), sendSpin);

    // Loaded and saved with the others but never offered: the program acts on neither.
    completeGroup = new QGroupBox(tr("Transfer complete"));
    noneRadio = new QRadioButton(tr("None"));
    disconnectRadio = new QRadioButton(tr("Disconnect"));
    quitRadio = new QRadioButton(tr("Quit Application"));
    exitRadio = new QRadioButton(tr("Exit Windows"));
    noneRadio->setChecked(true);
    auto* complete = new QVBoxLayout(completeGroup);
    for (QRadioButton* radio : {noneRadio, disconnectRadio, quitRadio, exitRadio})
        complete->addWidget(radio);
    appeCheck = new QCheckBox(tr("Use APPE to resume uploads"));
    appeCheck->setChecked(true);
    completeGroup->setVisible(false);
    appeCheck->setVisible(false);

    auto* layout = new QVBoxLayout(page);
    layout->addWidget(modeGroup, 1);
    layout->addWidget(bufferGroup);
    layout->addWidget(completeGroup);
    layout->addWidget(appeCheck);

    connect(addExtButton, &QPushButton::clicked, this, &TOptionsForm::onAddExtClick);
    connect(deleteExtButton, &QPushButton::clicked, this, &TOptionsForm::onDeleteExtClick);
    connect(extList, &QListWidget::itemChanged, this, &TOptionsForm::onExtChanged);
    return page;
}

QWidget* TOptionsForm::buildEntryPage(bool socks) {
    auto* page = new QWidget;
    QTreeWidget* list = makeReportList(socks ? QStringList{tr("Name"), tr("Host"), tr("Version")}
                                             : QStringList{tr("Name"), tr("Server"), tr("Type")});
    auto* add = new QPushButton(tr("&Add..."));
    auto* edit = new QPushButton(tr("&Edit..."));
    auto* remove = new QPushButton(tr("&Remove"));
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(list, 1);
    layout->addLayout(buttonColumn({add, edit, remove}));
    if (socks) {
        socksList = list;
        socksAddButton = add;
        socksEditButton = edit;
        socksRemoveButton = remove;
        connect(add, &QPushButton::clicked, this, &TOptionsForm::onSocksAddClick);
        connect(edit, &QPushButton::clicked, this, &TOptionsForm::onSocksEditClick);
        connect(remove, &QPushButton::clicked, this, &TOptionsForm::onSocksRemoveClick);
        connect(list, &QTreeWidget::itemDoubleClicked, this, &TOptionsForm::onSocksEditClick);
    } else {
        proxyList = list;
        proxyAddButton = add;
        proxyEditButton = edit;
        proxyRemoveButton = remove;
        connect(add, &QPushButton::clicked, this, &TOptionsForm::onProxyAddClick);
        connect(edit, &QPushButton::clicked, this, &TOptionsForm::onProxyEditClick);
        connect(remove, &QPushButton::clicked, this, &TOptionsForm::onProxyRemoveClick);
        connect(list, &QTreeWidget::itemDoubleClicked, this, &TOptionsForm::onProxyEditClick);
    }
    return page;
}

QWidget* TOptionsForm::buildEditorsPage() {
    auto* page = new QWidget;
    extensionEdit = new QLineEdit;
    editorEdit = new QLineEdit;
    editorBrowseButton = browseButton();
    editorAddButton = new QPushButton(tr("Add"));
    editorList = makeReportList({tr("Extension"), tr("Editor")});
    editorList->setColumnWidth(0, 80);
    editorList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Grid lines between the cells, as a report list with grid lines draws them.
    editorList->setStyleSheet(QStringLiteral("QTreeWidget::item { border-right: 1px solid "
                                             "#d0d0d0; border-bottom: 1px solid #d0d0d0; }"));
    editorDeleteButton = new QPushButton(tr("Delete"));

    auto* hint = new QLabel(tr("for example: <b>.htm</b> <b>.asp</b>"));
    auto* form = new QFormLayout;
    auto* extRow = new QHBoxLayout;
    extRow->addWidget(extensionEdit);
    extRow->addWidget(hint, 1);
    form->addRow(tr("Extension"), extRow);
    auto* editorRow = new QHBoxLayout;
    editorRow->addWidget(editorEdit, 1);
    editorRow->addWidget(editorBrowseButton);
    editorRow->addWidget(editorAddButton);
    form->addRow(tr("Editor"), editorRow);
    auto* deleteRow = new QHBoxLayout;
    deleteRow->addStretch(1);
    deleteRow->addWidget(editorDeleteButton);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(form);
    layout->addWidget(editorList, 1);
    layout->addLayout(deleteRow);

    connect(editorBrowseButton, &QToolButton::clicked, this, &TOptionsForm::onEditorBrowseClick);
    connect(editorAddButton, &QPushButton::clicked, this, &TOptionsForm::onEditorAddClick);
    connect(editorDeleteButton, &QPushButton::clicked, this, &TOptionsForm::onEditorDeleteClick);
    return page;
}

QWidget* TOptionsForm::buildTempPage() {
    auto* page = new QWidget;
    tempEdit = new QLineEdit;
    tempBrowseButton = browseButton();
    clearCheck = new QCheckBox(tr("Clean on exit"));
    clearCheck->setChecked(true);
    auto* row = new QHBoxLayout;
    row->addWidget(tempEdit, 1);
    row->addWidget(tempBrowseButton);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(new QLabel(tr("Temporary folder")));
    layout->addLayout(row);
    layout->addWidget(clearCheck);
    layout->addStretch(1);
    connect(tempBrowseButton, &QToolButton::clicked, this, &TOptionsForm::onTempBrowseClick);
    return page;
}

void TOptionsForm::Execute(TDataModule& dataModule, TSettingsHost* host, int page,
                           QWidget* parent) {
    TOptionsForm form(dataModule, host, parent);
    form.LoadSettings();
    form.pages->setCurrentIndex(page);
    Prompt().ExecForm(&form);
}

QString TOptionsForm::helpTopic() const {
    static const char* const topics[] = {"item29", "item30", "item31", "item32"};
    const int page = pages->currentIndex();
    return page >= 0 && page < 4 ? QString::fromLatin1(topics[page]) : QString();
}

QStringList TOptionsForm::itemTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << QStringLiteral("%1%2").arg(list->item(i)->checkState() == Qt::Checked ? "+" : "-",
                                          list->item(i)->text());
    return out;
}

QStringList TOptionsForm::rowTexts(const QTreeWidget* list) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        out << cells.join('|');
    }
    return out;
}

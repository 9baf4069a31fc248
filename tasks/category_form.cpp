#include "tasks/category_form.h"

#include "data/data_module.h"
#include "ui/prompt_service.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TCategoryForm::TCategoryForm(TDataModule& dataModule, const QString& formerName, QWidget* parent)
    : QDialog(parent), nameEdit(new QLineEdit), descEdit(new QPlainTextEdit),
      okButton(new QPushButton(tr("&OK"))), cancelButton(new QPushButton(tr("&Cancel"))),
      dataModule_(dataModule), formerName_(formerName) {
    setObjectName(QStringLiteral("CategoryForm"));
    setWindowTitle(editMode() ? tr("Edit category") : tr("New category"));
    descEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* form = new QFormLayout;
    form->addRow(tr("Category name"), nameEdit);
    form->addRow(tr("Description"), descEdit);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    okButton->setDefault(true);
    okButton->setEnabled(false);
    connect(nameEdit, &QLineEdit::textChanged, this, &TCategoryForm::onNameChange);
    connect(okButton, &QPushButton::clicked, this, &TCategoryForm::onOkClick);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    if (editMode()) {
        nameEdit->setText(formerName);
        if (auto category = dataModule_.FindCategory(formerName))
            descEdit->setPlainText(category->desc);
    }
}

void TCategoryForm::onNameChange() {
    okButton->setEnabled(!nameEdit->text().isEmpty());
}

void TCategoryForm::onOkClick() {
    const QString name = nameEdit->text();
    if (name.isEmpty()) return;
    const bool taken = (!editMode() || name != formerName_) && dataModule_.FindCategory(name);
    if (taken) {
        ShowWarning(this, tr("The name %1 was existed, please re-enter.").arg(name));
        return;
    }
    if (editMode())
        dataModule_.UpdateCategory(formerName_, name, descEdit->toPlainText());
    else
        dataModule_.AppendCategory(name, descEdit->toPlainText());
    accept();
}

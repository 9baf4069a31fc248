#pragma once
// "Properties": the permissions of the selected remote entries as nine check boxes and the
// numeric mode they make (three octal digits, owner, group and others, each 4 x read + 2 x write
// + 1 x execute, written as a decimal number: 755), and whether the change goes down whole trees.

#include "browser/browser_records.h"

#include <QDialog>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;

class TPropertiesForm : public QDialog {
    Q_OBJECT
public:
    enum Party { Owner, Group, Other };
    enum Right { Read, Write, Execute };

    // Shows one entry's owner, group and rights, or for several entries their counts with read
    // and write checked for all.
    explicit TPropertiesForm(const std::vector<rdatalist>& entries, QWidget* parent = nullptr);

    // Returns the check box of `right` in `group`.
    QCheckBox* box(int group, int right) const { return boxes_[group * 3 + right]; }
    // Returns the mode the field holds (0 when it is empty).
    int mode() const;
    // True when "Apply changes to all subfolders and files ." is checked.
    bool recursive() const;
    QLineEdit* modeField() const { return modeField_; }
    QCheckBox* recursiveBox() const { return recursiveBox_; }
    QLabel* nameLabel() const { return nameLabel_; }
    QLabel* ownerLabel() const { return ownerLabel_; }
    QLabel* groupLabel() const { return groupLabel_; }

    // Recomputes the mode field from the boxes (also when the dialog is shown).
    void onBoxClick();
    void onOkClick();
    void onCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void checkFrom(int group, const QString& letters);

    QCheckBox* boxes_[9] = {};
    QLineEdit* modeField_;
    QCheckBox* recursiveBox_;
    QLabel* nameLabel_;
    QLabel* ownerLabel_;
    QLabel* groupLabel_;
};

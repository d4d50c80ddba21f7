#pragma once

#include "fkeys/functionkey.h"

#include <QDialog>
#include <QList>

#include <memory>

class QCheckBox;
class QLineEdit;
namespace Ui {
class FunctionDialog;
}

// Modeless editor of the twelve function-key bindings, the serial write delay, the line delay and
// the whole-delay pace. It opens on the bindings it is given and hands them back, as the form
// then says, by applied().
class FunctionDlg : public QDialog
{
    Q_OBJECT

public:
    explicit FunctionDlg(const FunctionKeyBindings &bindings, QWidget *parent = nullptr);
    ~FunctionDlg() override;

    // Hands the form's bindings over by applied(), as the Apply button does.
    void apply();

signals:
    void applied(const FunctionKeyBindings &bindings);
    // OK, once the form has hidden the dialog.
    void okClicked();

private:
    FunctionKeyBindings bindings() const;

    std::unique_ptr<Ui::FunctionDialog> m_ui;
    // The form's rows, F1 first.
    QList<QLineEdit *> m_lineEdits;
    QList<QCheckBox *> m_checkBoxes;
};

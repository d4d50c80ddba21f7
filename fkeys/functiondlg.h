#pragma once

#include <QDialog>
#include <QList>

#include <memory>

class QCheckBox;
class QLineEdit;
class QSpinBox;
class VantorTerm;
namespace Ui {
class FunctionDialog;
}

// Modeless editor of the twelve function-key bindings and the serial write delay; Apply and OK
// hand the values to the main window.
class FunctionDlg : public QDialog
{
    Q_OBJECT

public:
    explicit FunctionDlg(VantorTerm *parent, Qt::WindowFlags flags = {});
    ~FunctionDlg() override;

    QList<QLineEdit *> lineEdits;
    QList<QCheckBox *> checkBoxes;
    QSpinBox *delaySpinBox = nullptr;

signals:
    // OK, once the form has hidden the dialog; Apply.
    void okClicked();
    void applyClicked();

private:
    std::unique_ptr<Ui::FunctionDialog> m_ui;
};

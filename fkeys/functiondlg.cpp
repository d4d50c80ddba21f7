#include "functiondlg.h"

#include "app/vantorterm.h"

#include "ui_functiondlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

FunctionDlg::FunctionDlg(VantorTerm *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , m_ui(new Ui::FunctionDialog)
{
    m_ui->setupUi(this);

    // The form has already tied OK to accept(), so the dialog is hidden before the main window
    // takes the values and lets go of it.
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &FunctionDlg::okClicked);
    connect(m_ui->btnApply, &QPushButton::clicked, this, &FunctionDlg::applyClicked);

    delaySpinBox = m_ui->spinBox_delay;
    // The LF box has no stored flag: a binding that holds a line feed shows it ticked, and the
    // CR LF that applying appends again is taken out of the text.
    const QList<FunctionKey> keys = parent->functionKeys();
    for (int i = 0; i < functionKeyCount; ++i) {
        const QString number = QString::number(i + 1);
        lineEdits.append(findChild<QLineEdit *>(QStringLiteral("lineEdit_f") + number));
        checkBoxes.append(findChild<QCheckBox *>(QStringLiteral("checkBox_f") + number));
        QString text = keys.value(i).text;
        checkBoxes.at(i)->setChecked(text.contains(QLatin1Char('\n')));
        text.remove(QStringLiteral("\r\n"));
        // Inserted rather than set, so that the user can undo back to an empty field.
        lineEdits.at(i)->insert(text);
    }
    delaySpinBox->setValue(parent->delay());
}

FunctionDlg::~FunctionDlg() = default;

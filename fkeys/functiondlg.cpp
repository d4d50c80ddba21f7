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

    lineEdits = {m_ui->lineEdit_f1, m_ui->lineEdit_f2,  m_ui->lineEdit_f3,  m_ui->lineEdit_f4,
                 m_ui->lineEdit_f5, m_ui->lineEdit_f6,  m_ui->lineEdit_f7,  m_ui->lineEdit_f8,
                 m_ui->lineEdit_f9, m_ui->lineEdit_f10, m_ui->lineEdit_f11, m_ui->lineEdit_f12};
    checkBoxes = {m_ui->checkBox_f1, m_ui->checkBox_f2,  m_ui->checkBox_f3,  m_ui->checkBox_f4,
                  m_ui->checkBox_f5, m_ui->checkBox_f6,  m_ui->checkBox_f7,  m_ui->checkBox_f8,
                  m_ui->checkBox_f9, m_ui->checkBox_f10, m_ui->checkBox_f11, m_ui->checkBox_f12};
    delaySpinBox = m_ui->spinBox_delay;

    // The LF box has no stored flag: a binding that holds a line feed shows it ticked, and the
    // CR LF that applying appends again is taken out of the text.
    const QList<FunctionKey> keys = parent->functionKeys();
    for (int i = 0; i < functionKeyCount; ++i) {
        QString text = keys.value(i).text;
        checkBoxes.at(i)->setChecked(text.contains(QLatin1Char('\n')));
        text.remove(QStringLiteral("\r\n"));
        // Inserted rather than set, so that the user can undo back to an empty field.
        lineEdits.at(i)->insert(text);
    }
    delaySpinBox->setValue(parent->delay());
}

FunctionDlg::~FunctionDlg() = default;

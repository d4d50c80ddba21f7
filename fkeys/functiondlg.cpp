#include "functiondlg.h"

#include "ui_functiondlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

FunctionDlg::FunctionDlg(const FunctionKeyBindings &bindings, QWidget *parent)
    : QDialog(parent)
    , m_ui(new Ui::FunctionDialog)
{
    m_ui->setupUi(this);

    // The form has already tied OK to accept(), so the dialog is hidden before the owner takes
    // the values and lets go of it.
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &FunctionDlg::okClicked);
    connect(m_ui->btnApply, &QPushButton::clicked, this, &FunctionDlg::apply);

    // The LF box has no stored flag: a binding that holds a line feed shows it ticked, and the
    // CR LF that applying appends again is taken out of the text.
    for (int i = 0; i < functionKeyCount; ++i) {
        const QString number = QString::number(i + 1);
        m_lineEdits.append(findChild<QLineEdit *>(QStringLiteral("lineEdit_f") + number));
        m_checkBoxes.append(findChild<QCheckBox *>(QStringLiteral("checkBox_f") + number));
        QString text = bindings.keys.value(i).text;
        m_checkBoxes.at(i)->setChecked(text.contains(QLatin1Char('\n')));
        text.remove(QStringLiteral("\r\n"));
        // Inserted rather than set, so that the user can undo back to an empty field.
        m_lineEdits.at(i)->insert(text);
    }
    m_ui->spinBox_delay->setValue(bindings.delay);
    m_ui->spinBox_lineDelay->setValue(bindings.lineDelay);
    m_ui->checkBox_pace->setChecked(bindings.paceWhole);
}

FunctionDlg::~FunctionDlg() = default;

void FunctionDlg::apply()
{
    emit applied(bindings());
}

FunctionKeyBindings FunctionDlg::bindings() const
{
    QStringList texts;
    QList<bool> lineFeeds;
    for (int i = 0; i < functionKeyCount; ++i) {
        texts.append(m_lineEdits.at(i)->text());
        lineFeeds.append(m_checkBoxes.at(i)->isChecked());
    }
    // The displayed text, not the value: what the user sees is what goes into force.
    FunctionKeyBindings bindings;
    bindings.keys = buildFunctionKeys(texts, lineFeeds);
    bindings.delay = parseDelay(m_ui->spinBox_delay->text());
    bindings.lineDelay = parseDelay(m_ui->spinBox_lineDelay->text());
    bindings.paceWhole = m_ui->checkBox_pace->isChecked();
    return bindings;
}

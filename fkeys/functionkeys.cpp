// The main window's side of the function keys: opening the dialog and taking its values.

#include "app/vantorterm.h"
#include "fkeys/functiondlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

QList<FunctionKey> VantorTerm::functionKeys() const
{
    return m_functionKeys;
}

int VantorTerm::delay() const
{
    return m_delay;
}

void VantorTerm::functionSetting()
{
    // An open dialog may lie under the main window: bring it forward as it is.
    if (functionDlg && functionDlg->isVisible()) {
        functionDlg->raise();
        functionDlg->activateWindow();
        return;
    }
    openFunctionDialog();
    // Asked for by the user: shown at once, even by a window that is not on screen (yet).
    m_functionDlgAwaitsWindow = false;
    functionDlg->show();
}

void VantorTerm::openFunctionDialog()
{
    // A cancelled dialog is only hidden; it is not reused, because every opening must show
    // the table as it stands now.
    if (functionDlg)
        functionDlg->deleteLater();
    functionDlg = new FunctionDlg(this);
    connect(functionDlg, &FunctionDlg::okClicked, this, &VantorTerm::acceptFunction);
    connect(functionDlg, &FunctionDlg::applyClicked, this, &VantorTerm::applyFunction);
    // Restored at start-up, before the main window is on screen: shown once it is, so that it
    // is tied to the window and the window manager keeps it above.
    if (!isVisible()) {
        m_functionDlgAwaitsWindow = true;
        return;
    }
    functionDlg->show();
}

void VantorTerm::applyFunction()
{
    if (!functionDlg)
        return;
    QStringList texts;
    QList<bool> lineFeeds;
    for (int i = 0; i < functionKeyCount; ++i) {
        texts.append(functionDlg->lineEdits.at(i)->text());
        lineFeeds.append(functionDlg->checkBoxes.at(i)->isChecked());
    }
    m_functionKeys = buildFunctionKeys(texts, lineFeeds);
    m_delay = parseDelay(functionDlg->delaySpinBox->text());
}

void VantorTerm::acceptFunction()
{
    applyFunction();
    // OK is still delivering its clicked signal from inside the dialog.
    if (functionDlg)
        functionDlg->deleteLater();
    functionDlg = nullptr;
}

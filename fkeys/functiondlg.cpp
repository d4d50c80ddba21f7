// STUB: to be implemented by the function-key work.
#include "functiondlg.h"

#include "app/vantorterm.h"

#include "ui_functiondlg.h"

FunctionDlg::FunctionDlg(VantorTerm *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), m_ui(new Ui::FunctionDialog)
{
    m_ui->setupUi(this);
}
FunctionDlg::~FunctionDlg() = default;

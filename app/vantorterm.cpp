#include "vantorterm.h"

#include "app/logging.h"
#include "app/programtitle.h"
#include "fkeys/functiondlg.h"
#include "link/serialport.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

VantorTerm::VantorTerm(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
    m_ui.setupUi(this);
    m_functionKeys = emptyFunctionKeys();

    connect(m_ui.actionAbout_This_Program, &QAction::triggered, this, &VantorTerm::about);
    connect(m_ui.action_Toolbar, &QAction::toggled, m_ui.toolBar, &QWidget::setHidden);
    connect(m_ui.actionHexa_Mode, &QAction::toggled, this, &VantorTerm::setHexamode);

    view = new OstraView(this);
    view->setDisabled(true);
    connect(view, &OstraView::keyInput, this, &VantorTerm::keyInput);
    auto textLayout = new QHBoxLayout(m_ui.textGroup);
    textLayout->addWidget(view);

    // Made without a parent; the layout below adopts it into hexaGroup.
    hexaEdit = new HexView;
    hexaEdit->setDisabled(true);
    hexaEdit->setReadOnly(true);
    auto hexLayout = new QVBoxLayout(m_ui.hexaGroup);
    hexLayout->addWidget(hexaEdit);

    connect(m_ui.actionFunction_Settings, &QAction::triggered, this, &VantorTerm::functionSetting);
    // The view's dialog slots are private to it; reach them by signature.
    connect(m_ui.action_Font, SIGNAL(triggered()), view, SLOT(changeFont()));
    connect(m_ui.action_FontColor, SIGNAL(triggered()), view, SLOT(changeFontColor()));
    connect(m_ui.actionBackground_color, SIGNAL(triggered()), view, SLOT(changeBackColor()));
    connect(m_ui.actionCa_pture, &QAction::triggered, this, &VantorTerm::saveCapture);
    connect(m_ui.action_Clear_Screen, &QAction::triggered, this, &VantorTerm::clearScreen);
    connect(m_ui.actionE_xit, &QAction::triggered, this, &QWidget::close);

    setWindowTitle(programTitle());
    setUpTransmit();

    // The toggles above are connected already, so restoring their checked states here hides
    // the tool bar or the hex pane through the same signals the user's clicks go through.
    loadSettings();
    disconnectDevice();

    connectionTimer = new QTimer(this);
    connect(connectionTimer, &QTimer::timeout, this, &VantorTerm::checkConnection);
    connectionTimer->start(1000);
}

VantorTerm::~VantorTerm()
{
    // The channel has no parent; normally closeEvent has destroyed it already.
    delete serialPort;
}

void VantorTerm::showStatus(const QString &text)
{
    statusBar()->showMessage(text, 0);
}

void VantorTerm::about()
{
    QMessageBox::about(this, QStringLiteral("About "),
                       tr("<p>") + programTitle() + tr("</p><p>by Brannow</p>"));
}

void VantorTerm::setHexamode(bool on)
{
    isHexamode = on;
    m_ui.hexaGroup->setVisible(on);
}

void VantorTerm::closeEvent(QCloseEvent *event)
{
    // A message box while the settings are stored runs the event loop: no tick may reconnect.
    connectionTimer->stop();
    disconnectDevice();
    storeSettings();
    if (functionDlg && functionDlg->isVisible())
        functionDlg->close();
    qCDebug(lcApp) << "closeEvent";
    event->accept();
}

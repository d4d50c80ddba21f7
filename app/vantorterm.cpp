#include "vantorterm.h"

#include "app/constants.h"
#include "app/logging.h"
#include "app/programtitle.h"
#include "fkeys/functiondlg.h"
#include "link/serialport.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "terminal/stylesheet.h"
#include "ui_vantorterm.h"

#include <QCloseEvent>
#include <QDebug>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cerrno>

VantorTerm::VantorTerm(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , m_ui(new Ui::Ostra)
{
    m_ui->setupUi(this);
    m_functionKeys = emptyFunctionKeys();

    connect(m_ui->actionAbout_This_Program, &QAction::triggered, this, &VantorTerm::about);
    connect(m_ui->action_Toolbar, &QAction::toggled, m_ui->toolBar, &QWidget::setHidden);
    // The tool bar's own context menu hides and shows it too; "Toolbar Hide" follows, so that
    // the menu, the screen and the stored setting tell the same.
    connect(m_ui->toolBar->toggleViewAction(), &QAction::triggered, m_ui->action_Toolbar,
            [this](bool shown) { m_ui->action_Toolbar->setChecked(!shown); });
    connect(m_ui->actionHexa_Mode, &QAction::toggled, this, &VantorTerm::setHexamode);

    view = new OstraView(this);
    view->setDisabled(true);
    // Courier New is seldom there on Linux; the face drawn instead must be monospaced too.
    view->setFont(withFixedPitchFallback(view->font()));
    connect(view, &OstraView::keyInput, this, &VantorTerm::keyInput);
    auto textLayout = new QHBoxLayout(m_ui->textGroup);
    textLayout->addWidget(view);
    m_waitingScreen = new QLabel(m_ui->textGroup);
    m_waitingScreen->setObjectName(QStringLiteral("waitingScreen"));
    m_waitingScreen->setAlignment(Qt::AlignCenter);
    m_waitingScreen->setWordWrap(true);
    m_waitingScreen->setTextFormat(Qt::RichText);
    m_waitingScreen->setMargin(24);
    textLayout->addWidget(m_waitingScreen);
    view->installEventFilter(this);

    // Made without a parent; the layout below adopts it into hexaGroup.
    hexaEdit = new HexView;
    hexaEdit->setDisabled(true);
    hexaEdit->setReadOnly(true);
    auto hexLayout = new QVBoxLayout(m_ui->hexaGroup);
    hexLayout->addWidget(hexaEdit);
    // A click gives the hex view the focus; what is typed then still goes to the device.
    connect(hexaEdit, &HexView::keyInput, this, &VantorTerm::keyInput);

    connect(m_ui->actionFunction_Settings, &QAction::triggered, this, &VantorTerm::functionSetting);
    connect(m_ui->action_Font, &QAction::triggered, view, &OstraView::changeFont);
    connect(m_ui->action_FontColor, &QAction::triggered, view, &OstraView::changeFontColor);
    connect(m_ui->actionBackground_color, &QAction::triggered, view, &OstraView::changeBackColor);
    connect(m_ui->actionCa_pture, &QAction::triggered, this, &VantorTerm::saveCapture);
    connect(m_ui->action_Clear_Screen, &QAction::triggered, this, &VantorTerm::clearScreen);
    connect(m_ui->actionE_xit, &QAction::triggered, this, &QWidget::close);

    setWindowTitle(programTitle());
    setUpTransmit();

    // The toggles above are connected already, so restoring their checked states here hides
    // the tool bar or the hex pane through the same signals the user's clicks go through.
    loadSettings();
    disconnectDevice();

    connectionTimer = new QTimer(this);
    connect(connectionTimer, &QTimer::timeout, this, &VantorTerm::checkConnection);
    connectionTimer->start(Constants::connectionTickMs);
}

VantorTerm::~VantorTerm()
{
    // The channel has no parent; normally closeEvent has destroyed it already.
    delete serialPort;
}

void VantorTerm::showStatus(const QString &text)
{
    statusBar()->showMessage(text, 0);
    // Every change of the connection is reported here, so the waiting screen follows it.
    updateWaitingScreen();
}

QString VantorTerm::waitingText(const QString &openFailure)
{
    if (openFailure.isEmpty()) {
        return tr("<h2>Waiting for a Tarquel device</h2>"
                  "<p>Connect a Tarquel device (USB 04D8:000A or 00DF).<br>"
                  "The terminal looks for it once a second and opens it by itself.</p>");
    }
    QString text = tr("<h2>A Tarquel device was found but cannot be opened</h2>")
                   + QStringLiteral("<p>") + openFailure.toHtmlEscaped() + QStringLiteral("</p>");
    if (openFailure.contains(qt_error_string(EACCES))) {
        text += tr("<p>This user may not use the port. Install the udev rule that comes with "
                   "the terminal, or join the dialout group and log in again: see "
                   "\"Access to the device\" in the README.</p>");
    }
    return text + tr("<p>The terminal tries again once a second.</p>");
}

void VantorTerm::updateWaitingScreen()
{
    m_waitingScreen->setText(waitingText(m_openFailure));
}

bool VantorTerm::eventFilter(QObject *watched, QEvent *event)
{
    // The waiting screen takes the text view's place whenever the view is hidden.
    if (watched == view
        && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        m_waitingScreen->setVisible(view->isHidden());
    return QMainWindow::eventFilter(watched, event);
}

bool VantorTerm::event(QEvent *event)
{
    // No action has a status tip, yet hovering a menu entry or a tool button would put an empty
    // one in the status bar, wiping the connection message the user needs to see.
    if (event->type() == QEvent::StatusTip)
        return true;
    return QMainWindow::event(event);
}

void VantorTerm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_functionDlgAwaitsWindow) {
        m_functionDlgAwaitsWindow = false;
        // Queued, so that it maps after the window it belongs to.
        QTimer::singleShot(0, this, [this] {
            if (functionDlg)
                functionDlg->show();
        });
    }
}

void VantorTerm::about()
{
    QMessageBox::about(this, QStringLiteral("About "),
                       tr("<p>") + programTitle() + tr("</p><p>by Brannow</p>"));
}

void VantorTerm::setHexamode(bool on)
{
    isHexamode = on;
    m_ui->hexaGroup->setVisible(on);
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

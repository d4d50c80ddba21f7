#include "vantorterm.h"

#include "app/capturefile.h"
#include "app/constants.h"
#include "app/logtofile.h"
#include "app/programtitle.h"
#include "app/sendprogress.h"
#include "app/settings.h"
#include "app/waitingscreen.h"
#include "common/logging.h"
#include "fkeys/functiondlg.h"
#include "link/devicelink.h"
#include "link/linkconstants.h"
#include "terminal/commandlinebar.h"
#include "terminal/hexview.h"
#include "terminal/ostraview.h"
#include "terminal/stylesheet.h"
#include "terminal/transmitpath.h"
#include "ui_vantorterm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <memory>
#include <utility>

using namespace Constants;
using namespace LinkConstants;

VantorTerm::VantorTerm(QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
    , m_ui(new Ui::Ostra)
    , m_link(new DeviceLink(this))
    , m_transmit(new TransmitPath(this))
{
    m_ui->setupUi(this);

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
    // The view, or the waiting screen in its place, with the command line under it.
    auto textLayout = new QVBoxLayout(m_ui->textGroup);
    auto screenLayout = new QHBoxLayout;
    textLayout->addLayout(screenLayout, 1);
    screenLayout->addWidget(view);
    m_waitingScreen = new WaitingScreen(view, m_ui->textGroup);
    screenLayout->addWidget(m_waitingScreen);
    m_commandLine = new CommandLineBar(m_ui->textGroup);
    m_commandLine->hide();
    textLayout->addWidget(m_commandLine);

    // Made without a parent; the layout below adopts it into hexaGroup.
    hexaEdit = new HexView;
    hexaEdit->setDisabled(true);
    hexaEdit->setReadOnly(true);
    auto hexLayout = new QVBoxLayout(m_ui->hexaGroup);
    hexLayout->addWidget(hexaEdit);
    // At its limit the hex view lets its oldest bytes go; the user is told, not left to find out.
    connect(hexaEdit, &HexView::oldestBytesDropped, this,
            [this] { showStatus(hexaEdit->droppedNotice()); });

    // Transmit: what is typed or pasted into either view (a click gives the hex view the focus)
    // goes to the device, through the transmit path to the link's paced sender.
    connect(view, &OstraView::keyInput, this, &VantorTerm::keyInput);
    connect(hexaEdit, &HexView::keyInput, this, &VantorTerm::keyInput);
    connect(m_transmit, &TransmitPath::typed, m_link, &DeviceLink::sendTyped);
    connect(m_transmit, &TransmitPath::paced, m_link, &DeviceLink::sendPaced);
    connect(m_transmit, &TransmitPath::fileOpened, m_link, &DeviceLink::sendFile);
    // The command line sends through the transmit path too, paced like a paste.
    connect(m_ui->actionCommand_Line, &QAction::toggled, this, &VantorTerm::showCommandLine);
    connect(m_commandLine, &CommandLineBar::commandEntered, m_transmit, &TransmitPath::sendCommand);
    connect(m_commandLine, &CommandLineBar::statusMessage, this, &VantorTerm::showStatus);
    connect(m_commandLine, &CommandLineBar::functionKeyPressed, this,
            [this](int key) { keyInput(key, QString()); });
    // Receive: every batch goes to both views, and to the log while it is on.
    connect(m_link, &DeviceLink::bytesReceived, view,
            qOverload<const QByteArray &, qint64>(&OstraView::displayBytes));
    connect(m_link, &DeviceLink::bytesReceived, hexaEdit, &HexView::appendReceived);
    m_logToFile = new LogToFile(m_ui->actionLog_to_File, m_link, this);
    statusBar()->addPermanentWidget(m_logToFile->statusLabel());
    connect(m_logToFile, &LogToFile::statusMessage, this, &VantorTerm::showStatus);
    connect(m_logToFile, &LogToFile::stopped, this,
            [this](const QString &message) { showWarning(tr("Log to File"), message); });
    connect(m_logToFile, &LogToFile::refused, this, [this](const QString &message) {
        QMessageBox::critical(this, tr("Log to File"), message);
    });

    // The connection's events as the user sees them: the status bar, the views, the waiting
    // screen, and a long send's progress.
    connect(m_link, &DeviceLink::connected, this, &VantorTerm::showConnected);
    connect(m_link, &DeviceLink::openFailed, this, &VantorTerm::showOpenFailure);
    connect(m_link, &DeviceLink::portClosed, this, &VantorTerm::showNoDevice);
    connect(m_link, &DeviceLink::deviceGone, this, [this] {
        m_waitingScreen->setOpenFailure(QString());
        showStatus(tr(deviceNotFoundText));
    });
    connect(m_link, &DeviceLink::writeFailed, this, [this](const QString &reason) {
        showStatus(reason.isEmpty()
                       ? tr(writeFailedStatus)
                       : tr(writeFailedStatus)
                             + QStringLiteral(" (%1: %2)").arg(m_link->portName(), reason));
    });
    connect(m_link, &DeviceLink::readFailed, this, &VantorTerm::showSendFileStopped);
    m_sendProgress = new SendProgress(this);
    statusBar()->addPermanentWidget(m_sendProgress);
    connect(m_link, &DeviceLink::sendProgress, m_sendProgress, &SendProgress::showProgress);
    connect(m_link, &DeviceLink::sendFinished, m_sendProgress, &QWidget::hide);
    connect(m_sendProgress, &SendProgress::stopClicked, m_link, &DeviceLink::stopSending);

    connect(m_ui->actionFunction_Settings, &QAction::triggered, this, &VantorTerm::functionSetting);
    connect(m_ui->action_Font, &QAction::triggered, view, &OstraView::changeFont);
    connect(m_ui->action_FontColor, &QAction::triggered, view, &OstraView::changeFontColor);
    connect(m_ui->actionBackground_color, &QAction::triggered, view, &OstraView::changeBackColor);
    connect(m_ui->actionCa_pture, &QAction::triggered, this, &VantorTerm::saveCapture);
    connect(m_ui->action_Clear_Screen, &QAction::triggered, this, &VantorTerm::clearScreen);
    // Clear Screen also stops a send that is going out; keys typed meanwhile still go.
    connect(m_ui->action_Clear_Screen, &QAction::triggered, m_link, &DeviceLink::stopSending);
    connect(m_ui->actionE_xit, &QAction::triggered, this, &QWidget::close);
    connect(m_ui->actionSend_File, &QAction::triggered, this, &VantorTerm::sendFile);
    connect(m_ui->actionTimestamps, &QAction::toggled, this, &VantorTerm::setTimestamps);

    setWindowTitle(programTitle());

    // The toggles above are connected already, so restoring their checked states here hides
    // the tool bar or the hex pane through the same signals the user's clicks go through.
    loadSettings();
    disconnectDevice();
    m_link->start();
}

VantorTerm::~VantorTerm() = default;

void VantorTerm::showConnected(const QString &port)
{
    m_ui->actionSend_File->setEnabled(true);
    m_commandLine->setDeviceConnected(true);
    view->setEnabled(true);
    hexaEdit->setEnabled(true);
    // A command being composed keeps the focus.
    if (!m_commandLine->isAncestorOf(focusWidget()))
        view->setFocus(Qt::OtherFocusReason);
    clearScreen();
    view->show();
    m_ui->hexaGroup->setVisible(isHexamode);
    hexaEdit->show();
    m_waitingScreen->setOpenFailure(QString());
    showStatus(QLatin1String(deviceFoundText).arg(port));
}

// A device that is plugged in but cannot be opened (no permission, held by another program) must
// not read as absent: the status says which port failed and why.
void VantorTerm::showOpenFailure(const QString &port, const QString &cause)
{
    const QString failure = port + QStringLiteral(": ") + cause;
    m_waitingScreen->setOpenFailure(failure);
    showStatus(tr(deviceNotFoundText) + QStringLiteral(" (%1)").arg(failure));
    showNoDevice();
}

void VantorTerm::disconnectDevice()
{
    m_link->disconnectDevice();
    showNoDevice();
}

void VantorTerm::showNoDevice()
{
    m_ui->actionSend_File->setEnabled(false);
    m_commandLine->setDeviceConnected(false);
    clearScreen();
    view->setDisabled(true);
    hexaEdit->setDisabled(true);
    view->hide();
    hexaEdit->hide();
}

void VantorTerm::checkConnection()
{
    m_link->checkConnection();
}

void VantorTerm::readComm()
{
    m_link->readComm();
}

void VantorTerm::keyInput(int key, const QString &text)
{
    m_transmit->keyInput(key, text);
}

void VantorTerm::clearScreen()
{
    view->clearScreen();
    hexaEdit->setData(QByteArray());
}

void VantorTerm::setPortFinder(PortFinder finder)
{
    m_link->setPortFinder(std::move(finder));
}

void VantorTerm::showStatus(const QString &text)
{
    statusBar()->showMessage(text, 0);
}

void VantorTerm::showWarning(const QString &title, const QString &message)
{
    showStatus(message);
    qCWarning(lcApp).noquote() << message;
    auto box = new QMessageBox(QMessageBox::Warning, title, message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    // Said while the window is being built (a log that cannot resume): shown once the window
    // is, so that the window manager stacks the box above it.
    if (isVisible())
        box->show();
    else
        m_warningsAwaitingWindow.append(box);
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
    // Queued, so that they map after the window they belong to.
    for (QMessageBox *box : std::exchange(m_warningsAwaitingWindow, {}))
        QTimer::singleShot(0, box, &QWidget::show);
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

QList<FunctionKey> VantorTerm::functionKeys() const
{
    return m_transmit->bindings().keys;
}

int VantorTerm::delay() const
{
    return m_transmit->bindings().delay;
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
    functionDlg = new FunctionDlg(m_transmit->bindings(), this);
    connect(functionDlg, &FunctionDlg::applied, m_transmit, &TransmitPath::setBindings);
    connect(functionDlg, &FunctionDlg::okClicked, this, &VantorTerm::acceptFunction);
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
    if (functionDlg)
        functionDlg->apply();
}

void VantorTerm::acceptFunction()
{
    applyFunction();
    // OK is still delivering its clicked signal from inside the dialog.
    if (functionDlg)
        functionDlg->deleteLater();
    functionDlg = nullptr;
}

void VantorTerm::loadSettings()
{
    showStatus(tr(loadingStatus));
    QString problem;
    const StoredSettings stored = readSettings(&problem);
    if (!problem.isEmpty())
        showStatus(problem);

    const QRect geometry = restoredGeometry(stored.position, stored.size);
    move(geometry.topLeft());
    resize(geometry.size());
    // Checking the action hides the tool bar through its toggled() connection.
    m_ui->action_Toolbar->setChecked(stored.toolbarHidden);
    view->setViewFont(stored.font);
    view->setFontColor(stored.fontColor);
    view->setBackColor(stored.backColor);
    m_transmit->setBindings(stored.functionKeys);
    // The table is in place already, so the dialog fills itself with it.
    if (stored.functionDialogShown && !(functionDlg && functionDlg->isVisible()))
        openFunctionDialog();
    // The action starts checked; unchecking it hides the hex pane through toggled().
    isHexamode = stored.hexMode;
    m_ui->actionHexa_Mode->setChecked(isHexamode);
    m_ui->actionTimestamps->setChecked(stored.timestamps);
    m_logToFile->restore(stored.logging, stored.logFile);
    m_commandLine->setLineEnd(stored.lineEnd);
    m_commandLine->setMode(stored.commandMode);
    m_commandLine->setHistory(stored.commandHistory);
    m_ui->actionCommand_Line->setChecked(stored.commandLineShown);
}

void VantorTerm::storeSettings()
{
    showStatus(tr(storingStatus));
    StoredSettings values;
    values.position = pos();
    values.size = size();
    values.toolbarHidden = m_ui->action_Toolbar->isChecked();
    values.font = view->viewFont();
    values.fontColor = view->fontColor();
    values.backColor = view->backColor();
    values.functionKeys = m_transmit->bindings();
    values.functionDialogShown = functionDlg && functionDlg->isVisible();
    values.hexMode = isHexamode;
    values.timestamps = m_ui->actionTimestamps->isChecked();
    values.logging = m_logToFile->isOn();
    values.logFile = m_logToFile->fileName();
    values.commandLineShown = m_ui->actionCommand_Line->isChecked();
    values.lineEnd = m_commandLine->lineEnd();
    values.commandMode = m_commandLine->mode();
    values.commandHistory = m_commandLine->history();

    const QString problem = writeSettings(values);
    if (problem.isEmpty())
        return;
    qCWarning(lcApp).noquote() << problem;
    if (m_quitting)
        return;
    QMessageBox box(QMessageBox::Warning, tr("Settings not stored"), problem, QMessageBox::Ok,
                    this);
    m_storeFailureBox = &box;
    box.exec();
}

void VantorTerm::closeEvent(QCloseEvent *event)
{
    event->accept();
    // Quit signals back to back, or a close while the close's own box is open, close once.
    if (m_closed)
        return;
    m_closed = true;
    // No tick may reconnect while a box of the close runs the event loop.
    m_link->stop();
    disconnectDevice();
    storeSettings();
    if (functionDlg && functionDlg->isVisible())
        functionDlg->close();
    m_logToFile->close();
    qCDebug(lcApp) << "closeEvent";
}

void VantorTerm::closeOnQuitSignal()
{
    m_quitting = true;
    if (m_storeFailureBox)
        m_storeFailureBox->reject();
    close();
    // A dialog still open (an About box, a file dialog) would keep the program running.
    QApplication::closeAllWindows();
}

void VantorTerm::setCaptureFileNamePrompt(FileNamePrompt prompt)
{
    m_captureFileNamePrompt = std::move(prompt);
}

void VantorTerm::saveCapture()
{
    const QString fileName
        = m_captureFileNamePrompt
              ? m_captureFileNamePrompt(this)
              : QFileDialog::getSaveFileName(this, tr("Save Capture File"), QString(),
                                             tr("html Files (*.html);;log Files (*.log)"));
    if (fileName.isEmpty())
        return;

    // Taken after the dialog has closed, so data received meanwhile is part of the capture, and
    // with the batches that the view still holds back for its next frame; as shown, with the
    // time before each line that has one.
    view->showAllReceived();
    const QString content = fileName.contains(QLatin1String(".html"))
                                ? captureHtml(view->screen().html())
                                : view->screen().text();
    const QString failure = writeCaptureFile(fileName, content.toLatin1());
    if (!failure.isEmpty())
        QMessageBox::critical(this, tr("save capture file Error!"), failure);
}

void VantorTerm::setSendFileNamePrompt(FileNamePrompt prompt)
{
    m_sendFileNamePrompt = std::move(prompt);
}

void VantorTerm::setLogFileNamePrompt(FileNamePrompt prompt)
{
    m_logToFile->setFileNamePrompt(std::move(prompt));
}

void VantorTerm::sendFile()
{
    const QString fileName
        = m_sendFileNamePrompt
              ? m_sendFileNamePrompt(this)
              : QFileDialog::getOpenFileName(this, tr("Send File"), QString(), tr("All Files (*)"));
    if (fileName.isEmpty())
        return;
    // The device may have gone while the file was chosen.
    const QString problem
        = m_link->isConnected() ? m_transmit->sendFile(fileName) : tr(deviceNotFoundText);
    if (!problem.isEmpty())
        QMessageBox::critical(this, tr("Send File"),
                              tr("Can't send %1: %2").arg(fileName, problem));
}

void VantorTerm::showSendFileStopped(const QString &fileName, qint64 sent, qint64 size,
                                     const QString &reason)
{
    const QLocale locale;
    const QString count
        = size < 0 ? tr("%1 bytes").arg(locale.toString(sent))
                   : tr("%1 of %2 bytes").arg(locale.toString(sent), locale.toString(size));
    showStatus(tr("Send File of %1 stopped after %2: %3").arg(fileName, count, reason));
}

void VantorTerm::showCommandLine(bool on)
{
    m_commandLine->setVisible(on);
    if (on)
        m_commandLine->setFocus(Qt::OtherFocusReason);
    else if (view->isEnabled())
        view->setFocus(Qt::OtherFocusReason);
}

void VantorTerm::setTimestamps(bool on)
{
    view->setTimestamps(on);
    m_logToFile->setTimestamps(on);
}

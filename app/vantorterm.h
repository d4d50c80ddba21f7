#pragma once

// How the pieces meet. The window owns the widgets and, in its constructor, wires the objects
// that do the work: the DeviceLink (link/), which owns the serial channel, its 1 s tick and the
// paced sender; the TransmitPath (terminal/), which turns keys, pastes, function keys, commands
// and files into bytes and hands them on by signals, and holds the function-key table; and the
// feature objects of app/ (LogToFile, the WaitingScreen). The window connects the TransmitPath to
// the link (the terminal knows no link), and every failure signal to what the user sees; its
// slots hand over.
//
// Start: main() installs the logging and quit-signal handlers and builds VantorTerm, which
// builds the form and the views, wires everything in its constructor, loads the settings (the
// restored function-key dialog waits for the window to be shown), shows the waiting screen and
// starts the link's tick.
// Connect: each tick the link lists the Tarquel ports, decideConnection() (a pure rule) says
// open, report or disconnect, and the link does it and tells: connected() brings the views up,
// openFailed() and deviceGone() put the reason in the status bar and the WaitingScreen,
// portClosed() takes the views down.
// Receive: QSerialPort::readyRead -> SerialPort::readData() queues the bytes -> DeviceLink hands
// them over as one batch with its arrival time by bytesReceived() -> OstraView::displayBytes(),
// whose ScreenDocument holds it in HeldText (the byte rules, each line's time) and applies at most
// once a frame what came (lines cut to their newest 8,192 characters, the newest 400 lines),
// HexView::appendReceived() (every byte) and LogToFile, which while it is on hands every byte to
// DeviceLog::appendReceived(), with a marker line at each connect and disconnect.
// Transmit: a key or paste in either view -> keyInput(key, text) -> TransmitPath, which emits a
// key's Latin-1 text as typed(), or a paste / F1-F12 binding as paced() with the bindings' pace
// -> the link's PacedSender, whose SendQueue keeps the order: a typed key goes at once, a paced
// string one byte at a time from the event loop, waiting after each at most the write delay (or
// all of it with the whole-delay pace, and the line delay after a line end); keys typed
// meanwhile queue behind it, and a long send shows its progress with a Stop button. The
// CommandLineBar under the view (View, Command Line) hands an entered line's bytes to the
// TransmitPath, which paces them like a paste.
// Function keys: "Function Settings" opens (or raises) the modeless FunctionDlg on the table and
// the pace; Apply and OK hand its values back to the TransmitPath. Send File: the TransmitPath
// opens the chosen file and hands it to the link, which reads it a piece at a time as it goes
// out and says by readFailed() when it stops short.
// Stop: closeEvent() (also reached from SIGTERM, SIGINT and SIGHUP) runs once: it stops the link
// (tick, send, port; the log gets its last marker), stores the settings (saying so if the store
// cannot be written), closes a visible dialog and the log, whose end it waits for while the
// window paints (at most 5 s for a disk that does not answer); the last window closing ends the
// event loop.

#include "fkeys/functionkey.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class CommandLineBar;
class DeviceLink;
class FunctionDlg;
class HexView;
class LogToFile;
class OstraView;
class QMessageBox;
class SendProgress;
class TransmitPath;
class WaitingScreen;
namespace Ui {
class Ostra;
}

// The terminal's one window: owns the views, the device link and the transmit path, and
// receives every user command.
class VantorTerm : public QMainWindow
{
    Q_OBJECT

public:
    explicit VantorTerm(QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~VantorTerm() override;

    QList<FunctionKey> functionKeys() const;
    int delay() const;
    void showStatus(const QString &text);

    // Closes the window for a quit signal (a session ending, kill, Ctrl+C): nobody may be there
    // to answer a box, so none waits, and the program ends even if a dialog is open.
    void closeOnQuitSignal();

    // Seams for tests and benchmarks; the program itself never calls them.
    using PortFinder = std::function<QStringList()>;
    void setPortFinder(PortFinder finder);
    using FileNamePrompt = std::function<QString(QWidget *parent)>;
    void setCaptureFileNamePrompt(FileNamePrompt prompt);
    void setLogFileNamePrompt(FileNamePrompt prompt);
    void setSendFileNamePrompt(FileNamePrompt prompt);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private slots:
    void about();
    void functionSetting();
    void acceptFunction();
    void applyFunction();
    void saveCapture();
    void clearScreen();
    void keyInput(int key, const QString &text);
    void readComm();
    void checkConnection();
    void setHexamode(bool on);
    void sendFile();
    void setTimestamps(bool on);
    void showCommandLine(bool on);

private:
    void wireLink();
    void showConnected(const QString &port);
    void showOpenFailure(const QString &port, const QString &cause);
    void showNoDevice();
    void showSendFileStopped(const QString &fileName, qint64 sent, qint64 size,
                             const QString &reason);
    void disconnectDevice();
    void loadSettings();
    void storeSettings();
    void openFunctionDialog();
    // Says in the status bar and in a box that does not hold up the terminal, which goes on.
    void showWarning(const QString &title, const QString &message);

    std::unique_ptr<Ui::Ostra> m_ui;
    OstraView *view = nullptr;
    HexView *hexaEdit = nullptr;
    FunctionDlg *functionDlg = nullptr;
    bool isHexamode = false;
    DeviceLink *m_link = nullptr;
    TransmitPath *m_transmit = nullptr;
    WaitingScreen *m_waitingScreen = nullptr;
    LogToFile *m_logToFile = nullptr;
    SendProgress *m_sendProgress = nullptr;
    CommandLineBar *m_commandLine = nullptr;
    // A dialog restored before the window is on screen waits for it, so that the window
    // manager stacks it above the window instead of below.
    bool m_functionDlgAwaitsWindow = false;
    FileNamePrompt m_captureFileNamePrompt;
    FileNamePrompt m_sendFileNamePrompt;
    // The close runs once, however many quit signals and closes arrive.
    bool m_closed = false;
    bool m_quitting = false;
    QPointer<QMessageBox> m_storeFailureBox;
    // Warnings given before the window was first shown, which wait for it.
    QList<QMessageBox *> m_warningsAwaitingWindow;
};

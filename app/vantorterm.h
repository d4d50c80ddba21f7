#pragma once

// How the pieces meet.
//
// Start: main() installs the logging and quit-signal handlers and builds VantorTerm; the
// constructor builds the Ostra form, the text view (OstraView), the hex view (HexView) and the
// PacedSender, wires the actions, loads the settings (geometry fitted to a screen; the restored
// function-key dialog waits for the window to be shown), shows the waiting screen and starts the
// 1 s tick.
// Connect: each tick checkConnection() lists Tarquel device ports; decideConnection() (a pure
// rule on what is listed, which port is open and what the last tick saw) says open, report or
// disconnect, and applyConnectionVerdict() does it: openDevicePort() opens a SerialPort and
// shows the views; disconnectDevice() releases the channel (releaseChannel(), the one teardown)
// and brings the waiting screen back. A port that dies reports portLost and takes the same path.
// Receive: QSerialPort::readyRead -> SerialPort::readData() queues the bytes -> readComm() ->
// VantorTerm::readComm() drains them into one batch -> HexView::appendData() (every byte) and
// OstraView::displayBytes(), which filters it and inserts at most once per frame, each line cut
// to its newest maximumLineLength characters and the document to its newest 400 lines.
// Transmit: a key or paste in the text view, or a key in the hex view -> keyInput(key, text) ->
// VantorTerm::keyInput() -> PacedSender, which from the event loop writes a key's Latin-1 text at
// once, or a paste / F1-F12 binding one byte at a time, waiting after each byte at most delay ms
// for it to be written; keys typed meanwhile queue behind it, and a long send shows its progress
// with a Stop button.
// Function keys: "Function Settings" opens (or raises) the modeless FunctionDlg; Apply and OK
// rebuild the twelve-entry function-key table and the write delay.
// Stop: closeEvent() (also reached from SIGTERM, SIGINT and SIGHUP) stops the tick and any send,
// disconnects, stores the settings (saying so if the store cannot be written) and closes a
// visible dialog; the last window closing ends the event loop.

#include "fkeys/functionkey.h"
#include "link/connectionrules.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class FunctionDlg;
class HexView;
class OstraView;
class PacedSender;
class QLabel;
class QTimer;
class SerialPort;
namespace Ui {
class Ostra;
}

// The terminal's one window: owns the views, the serial channel and the function-key table, and
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

    // Seams for tests and benchmarks; the program itself never calls them.
    using PortFinder = std::function<QStringList()>;
    void setPortFinder(PortFinder finder);
    using FileNamePrompt = std::function<QString(QWidget *parent)>;
    void setCaptureFileNamePrompt(FileNamePrompt prompt);

    // What the empty terminal says while no device is connected; openFailure is why the last
    // open failed ("port: cause"), empty when none did.
    static QString waitingText(const QString &openFailure);

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

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

private:
    void applyConnectionVerdict(ConnectionEvent event, const QStringList &ports = {},
                                const QString &lostReason = {});
    bool openDevicePort(const QStringList &ports);
    void disconnectDevice();
    enum class ChannelEnd { Now, FromEventLoop };
    void releaseChannel(ChannelEnd end);
    void sendPaced(const QString &text);
    void setUpTransmit();
    void reportWriteFailure();
    void loadSettings();
    void storeSettings();
    void openFunctionDialog();
    void updateWaitingScreen();

    std::unique_ptr<Ui::Ostra> m_ui;
    QList<FunctionKey> m_functionKeys;
    FunctionDlg *functionDlg = nullptr;
    OstraView *view = nullptr;
    HexView *hexaEdit = nullptr;
    int m_delay = 0;
    SerialPort *serialPort = nullptr;
    QTimer *connectionTimer = nullptr;
    DeviceState deviceFoundBefore = DeviceState::Absent;
    // Why the last open failed ("port: cause"), for the not-found message.
    QString m_openFailure;
    bool isHexamode = false;
    // A dialog restored before the window is on screen waits for it, so that the window
    // manager stacks it above the window instead of below.
    bool m_functionDlgAwaitsWindow = false;
    // Fills the text pane while the text view is hidden (no device).
    QLabel *m_waitingScreen = nullptr;
    PortFinder m_portFinder;
    FileNamePrompt m_captureFileNamePrompt;
    PacedSender *m_sender = nullptr;
    // "sent N of M bytes" and a stop button, while a long send goes out.
    QWidget *m_sendProgress = nullptr;
};

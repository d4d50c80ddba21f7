#pragma once

// How the pieces meet.
//
// Start: main() builds VantorTerm; the constructor builds the Ostra form, the text view
// (OstraView) and the hex view (HexView), wires the actions, loads the settings (which may
// already open the function-key dialog), drops into the no-device state and starts a 1 s timer.
// Connect: each tick checkConnection() asks the port finder for Tarquel device ports, opens a
// SerialPort on the first one and shows both views; when the open port is no longer listed, or
// the port reports that it is gone, disconnectDevice() destroys the channel and hides the views.
// Receive: QSerialPort::readyRead -> SerialPort::readData() queues the bytes in receivedBytes
// and emits readComm() -> VantorTerm::readComm() drains the queue into one batch ->
// OstraView::displayBytes() (filtered text) and HexView::appendData() (every byte).
// Transmit: a key or paste in the text view, or a key in the hex view -> keyInput(key, text) ->
// VantorTerm::keyInput() -> PacedSender, which from the event loop writes the key's Latin-1 text
// at once, or a paste / F1-F12 binding one byte at a time, waiting after each byte at most delay
// ms for it to be written; keys typed meanwhile queue behind it.
// Function keys: "Function Settings" opens the modeless FunctionDlg; Apply and OK rebuild the
// twelve-entry function-key table and the write delay.
// Stop: closeEvent() disconnects, stores the settings, closes a visible dialog; the last window
// closing ends the event loop.

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

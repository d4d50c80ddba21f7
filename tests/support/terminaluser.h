#pragma once

#include "support/simulateddevice.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class ConnectedWindow;
class HexView;
class OstraView;
class VantorTerm;

// A person at the terminal with a Tarquel device on the desk: the real main window, connected to
// a simulated device through its own supervision, driven the way a user drives it (menus, keys,
// dialogs), so that a story reads as what the user does and sees. The window's ticks are the
// story's: discovery runs only when the story plugs, unplugs or restarts.
class TerminalUser
{
public:
    // Starts the terminal with the device plugged in; isConnected() says whether it came up.
    TerminalUser();
    ~TerminalUser();
    TerminalUser(const TerminalUser &) = delete;
    TerminalUser &operator=(const TerminalUser &) = delete;

    // The device.
    SimulatedDevice &device() { return *m_device; }
    bool isConnected() const;
    // Discovery lists the device again (or no longer), and the terminal looks at once.
    bool plugIn();
    void unplug();
    // The device's side of the line goes (a device that resets or fails): the terminal notices
    // on its own. plugIn() then brings a new device.
    void hangUp();
    // Closes the terminal the normal way (settings stored, log closed) and starts it again;
    // true when the new one came up connected.
    bool restart();
    // Closes the terminal the normal way; the story may look at what it left behind.
    void quit();

    // What the device sends; waits until the hex view has taken every byte of it.
    bool deviceSends(const QByteArray &bytes);
    // What the terminal sent the device: count bytes, or what came within timeoutMs.
    QByteArray deviceReceived(int count, int timeoutMs = 2000);
    // Everything the terminal has sent up to now: a key typed behind it shows when it is all
    // there, so that "nothing (more) was sent" needs no time-out.
    QByteArray deviceReceivedSoFar();

    // Keys and pastes into the text view.
    void type(const QString &text);
    void pressKey(int key);
    void paste(const QString &text);
    // F1 (n = 1) to F12 bound through the Function Settings dialog, OK clicked. lineFeed ticks
    // its "LF" box; delay < 0 leaves the serial write delay as it is.
    void bind(int n, const QString &text, bool lineFeed = false, int delay = -1);
    void setDelay(int ms);

    // The switches of the menus.
    void setHexMode(bool on);
    void setTimestamps(bool on);
    void clearScreen();
    // The hex view keeps its newest memory bytes in memory and at most file bytes more in a
    // cache file in the story's folder, so that a story reaches its limits without gigabytes;
    // it starts empty.
    void limitHexView(qint64 memory, qint64 file);

    // Log to File checked, with fileName given in its dialog; returns the text of the box that
    // refused it, empty when logging started.
    QString logTo(const QString &fileName);
    // Log to File unchecked.
    void stopLogging();
    bool isLogging() const;
    // The log's label in the status bar, empty while it is hidden.
    QString logLabel() const;

    // Send File with fileName chosen; returns the text of the box that refused it, if any.
    QString sendFile(const QString &fileName);
    // Stop beside the send's progress; whether the progress was showing.
    bool stopSending();
    bool sendProgressShown() const;

    // SaveCapture into fileName; returns the text of the box that reported a failure, if any.
    QString capture(const QString &fileName);

    // What the status bar says now.
    QString status() const;
    // The texts of the message boxes that do not wait for an answer, as they were shown, which
    // are closed; those that came since the last call.
    QStringList takeWarnings();
    // What the text view shows, times included, with everything received inserted.
    QString textShown() const;
    // What the hex view holds.
    QByteArray hexHeld() const;

    // A file in a folder of the story's own, which goes when it ends.
    QString filePath(const QString &name) const;

    VantorTerm &window() const;
    OstraView *view() const;
    HexView *hexView() const;

private:
    void start();

    QTemporaryDir m_files;
    std::unique_ptr<SimulatedDevice> m_device;
    std::unique_ptr<ConnectedWindow> m_terminal;
    QString m_nextFile;
};

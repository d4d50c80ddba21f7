#pragma once

#include "support/simulateddevice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class ConnectedWindow;
class HexView;
class QLineEdit;
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
    // Starts the terminal again after quit(); true when it came up connected.
    bool start();

    // What the device sends; waits until the hex view has taken every byte of it.
    bool deviceSends(const QByteArray &bytes);
    // What the terminal sent the device: count bytes, or what came within timeoutMs.
    QByteArray deviceReceived(int count, int timeoutMs = 2000);
    // Everything the terminal has sent up to now: a key typed behind it shows when it is all
    // there, so that "nothing (more) was sent" needs no time-out.
    QByteArray deviceReceivedSoFar();
    // A byte the device received, and when, in milliseconds on one clock: it came after the
    // device last looked without finding it, and by the look that found it. So the time between
    // two bytes is at most the later one's by less the earlier one's after.
    struct Arrival
    {
        char byte;
        qint64 after;
        qint64 by;
    };
    QList<Arrival> deviceArrivals(int count, int timeoutMs = 10000);

    // Keys and pastes into the text view.
    void type(const QString &text);
    void pressKey(int key);
    // A key as the window system reports it, with the text it comes with.
    void pressKey(int key, const QString &text, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    void paste(const QString &text);
    // F1 (n = 1) to F12 bound through the Function Settings dialog, OK clicked. lineFeed ticks
    // its "LF" box; delay < 0 leaves the serial write delay as it is.
    void bind(int n, const QString &text, bool lineFeed = false, int delay = -1);
    void setDelay(int ms);
    // "Line Delay mSec" and "Wait the whole delay after each character" in Function Settings.
    void setLineDelay(int ms);
    void setWholeDelayPace(bool on);

    // The command line: shown or hidden (View, Command Line), text typed into it and Enter
    // pressed, another key pressed in it (Up, Down, Escape), its line end and mode chosen by
    // their names ("None", "CR", "LF", "CR LF"; "Text", "Hex").
    void setCommandLine(bool on);
    void enterCommand(const QString &text);
    void pressInCommandLine(int key);
    void setLineEnd(const QString &name);
    void setCommandMode(const QString &name);
    // What the command line shows, whether it has the focus, and whether it shows its text as
    // not sent, with the tool tip that says why.
    QString commandLineText() const;
    bool commandLineHasFocus() const;
    bool commandLineShownWrong() const;
    QString commandLineToolTip() const;
    bool viewHasFocus() const;

    // The switches of the menus; whether the hex view is on the screen.
    void setHexMode(bool on);
    bool hexViewShown() const;
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

    // Send File with fileName chosen, whileChoosing done while its dialog is open; returns the
    // text of the box that refused it, if any.
    QString sendFile(const QString &fileName, const std::function<void()> &whileChoosing = {});
    // Stop beside the send's progress; whether the progress was showing.
    bool stopSending();
    bool sendProgressShown() const;
    // What the send's progress says, empty while it is hidden.
    QString sendProgressText() const;

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
    // Opens Function Settings, lets change edit the dialog, and clicks OK.
    void changeFunctionSettings(const std::function<void(QWidget *dialog)> &change);
    QLineEdit *commandLine() const;

    QTemporaryDir m_files;
    std::unique_ptr<SimulatedDevice> m_device;
    std::unique_ptr<ConnectedWindow> m_terminal;
    QString m_nextFile;
    std::function<void()> m_whileChoosing;
};

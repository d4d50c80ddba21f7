// The main window's transmit path: keys, pastes and function-key strings go to the device.

#include "app/vantorterm.h"
#include "link/serialport.h"
#include "terminal/txencoding.h"

#include <QDebug>

#include <algorithm>

namespace {

// The code the text view gives a paste; a keyboard's real F35 key is taken as a paste too.
constexpr int pasteKey = Qt::Key_F35;

} // namespace

void VantorTerm::keyInput(int key, const QString &text)
{
    if (key == pasteKey) {
        sendPaced(text);
        return;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        const FunctionKey entry = m_functionKeys.value(key - Qt::Key_F1);
        if (entry.key == key) {
            qDebug("keycode 0x%x delay %d", unsigned(key), m_delay);
            sendPaced(entry.text);
            return;
        }
    }
    // No local echo and no key of our own: a key with no text (arrows, modifiers, F13 and up)
    // sends nothing.
    if (text.isEmpty())
        return;
    if (!serialPort || !serialPort->writeData(typedBytes(text)))
        showStatus(tr("Can't write through the serial port."));
}

void VantorTerm::sendPaced(const QString &text)
{
    // A negative delay would let the serial library wait without any limit and freeze the
    // window for good if the port stalls; the delay is a bound on the wait, so it counts as 0.
    const int wait = std::max(m_delay, 0);
    for (const QChar unit : text) {
        // The channel can go away while we wait (the device vanished); that is a failed write.
        if (!serialPort || !serialPort->writeData(QByteArray(1, pacedByte(unit)))) {
            showStatus(tr("Can't write through the serial port."));
            return;
        }
        if (serialPort)
            serialPort->waitForBytesWritten(wait);
    }
}

#pragma once

#include "devsim/rawpty.h"

#include <QByteArray>
#include <QString>

// A Tarquel device at the far end of a pseudo-terminal. The program under test opens portName()
// as its serial port; the test plays the device on the master side: send() is what the device
// transmits, read() is what the program sent to it.
class SimulatedDevice
{
public:
    bool isValid() const { return m_pty.master() >= 0; }
    QString portName() const { return m_pty.portName(); }

    // Writes all of bytes towards the program; false when the pty refused them.
    bool send(const QByteArray &bytes);

    // Collects what the program sent until count bytes have arrived or timeoutMs has passed,
    // running the event loop meanwhile so that the program keeps working.
    QByteArray read(int count, int timeoutMs = 2000);

    // Whatever the program has sent so far, without waiting.
    QByteArray readAvailable();

    // Closes the device side: the program's port sees a hang-up, as when a device is unplugged.
    void hangUp() { m_pty.closeMaster(); }

private:
    RawPty m_pty;
};

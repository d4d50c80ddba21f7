#pragma once

#include <QString>

// A pseudo-terminal pair in raw mode that plays a device for the tests and benchmarks, and
// closes both ends when it goes. The master is non-blocking. The slave is raw from the start, so
// nothing sent before the program opens the port is echoed or cooked, and it stays open here so
// that the master never reads a hang-up while the program has the port closed.
class RawPty
{
public:
    RawPty();
    ~RawPty();
    RawPty(const RawPty &) = delete;
    RawPty &operator=(const RawPty &) = delete;

    // -1 when the pair could not be opened, or after closeMaster().
    int master() const { return m_master; }
    // The slave side's path, which the program opens as its serial port.
    QString portName() const { return m_portName; }

    // Closes the device side: the program's port sees a hang-up, as when a device is unplugged.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_portName;
};

#pragma once

#include <QString>

// A pseudo-terminal pair in raw mode, for the simulated device of the tests and benchmarks.
struct RawPty
{
    int master = -1;
    int slave = -1;
    // The slave side's path, which the program opens as its serial port.
    QString portName;
};

// Opens the pair with a non-blocking master. The slave is raw from the start, so nothing sent
// before the program opens the port is echoed or cooked, and it stays open here so that the
// master never reads a hang-up while the program has the port closed. master is -1 on failure.
RawPty openRawPty();

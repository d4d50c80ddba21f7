#pragma once

#include <QList>
#include <QString>

// Ways to make an open serial port fail for real, as an unplugged device does, by putting
// something else behind the descriptor the serial library holds; and a measure of the CPU time
// the process spends meanwhile.

// Reading the descriptor then fails with EISDIR, which the library reports as a ReadError.
bool replaceWithDirectory(int descriptor);

// Reading the descriptor then fails with EIO, which the library reports as a ResourceError.
bool replaceWithHungUpTerminal(int descriptor);

// Writing the descriptor then fails with EPIPE, which the library reports as a WriteError,
// while reading it finds nothing: a line that still reads but cannot carry what is sent. The
// process must ignore SIGPIPE.
bool replaceWithBrokenPipe(int descriptor);

// The descriptors of this process that are open on path, lowest first.
QList<int> descriptorsOpenOn(const QString &path);

// The CPU time this process uses while its event loop runs for msecs milliseconds.
double cpuSecondsOver(int msecs);

// The rows of a _data() table naming the real failures of an open port: column "failure" (what the
// test puts behind the descriptor) and column "reason" (what the channel says of it). An unplugged
// device hangs up and takes its node with it; a directory cannot be read (EISDIR), which the
// library reports as a ReadError over and over; a pseudo-terminal whose other side is gone reads
// EIO, a ResourceError.
void addPortFailureRows();

#include "rawpty.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>

RawPty openRawPty()
{
    RawPty pty;
    char name[256] = {};
    if (openpty(&pty.master, &pty.slave, name, nullptr, nullptr) != 0)
        return RawPty();
    termios settings{};
    tcgetattr(pty.slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(pty.slave, TCSANOW, &settings);
    fcntl(pty.master, F_SETFL, fcntl(pty.master, F_GETFL) | O_NONBLOCK);
    pty.portName = QString::fromLocal8Bit(name);
    return pty;
}

// A device at USB full speed for a terminal other than ours: prints the path of a pty whose far
// end it plays, waits for a line on standard input (once the terminal has opened that path), then
// streams the paced runs' text, 1,200 bytes every millisecond, for the seconds given. Used by
// sidebyside.sh to feed another serial terminal exactly what receivebench's p-* runs feed ours.

#include "pacedstream.h"
#include "ptydevice.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments().mid(1);
    const bool lineFeeds = !arguments.contains(QStringLiteral("--nolf"));
    const double seconds = arguments.isEmpty() ? 0 : arguments.last().toDouble();
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: ptyfeed [--nolf] seconds\n");
        return 2;
    }
    PtyDevice device;
    if (!device.isValid()) {
        std::fprintf(stderr, "ptyfeed: no pseudo-terminal\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(device.portName()));
    std::fflush(stdout);
    std::string go;
    std::getline(std::cin, go);

    device.start(PacedStream::text(lineFeeds), qint64(1) << 40, PacedStream::chunk,
                 PacedStream::intervalUs);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    device.stop();
    std::printf("sent %lld bytes\n", static_cast<long long>(device.sent()));
    return 0;
}

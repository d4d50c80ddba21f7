// Writing a capture file where it stands, on Linux and other Unix systems: a FIFO, a device, or a
// file in a folder the user may not write to.

#include "app/capturefile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How long a FIFO's reader or a device may take no bytes at all before the capture gives up on
// it. The window waits meanwhile, so this is short, yet long enough for a reader on a busy
// machine.
const int stallTimeout = 3000;

QString tr(const char *text)
{
    return QCoreApplication::translate("VantorTerm", text);
}

} // namespace

QString writeCaptureFileInPlace(const QString &fileName, const QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(fileName);
    // Opened without waiting: a FIFO that no program reads would hold the window until one does,
    // a terminal port until its carrier comes. Nor does a terminal port become this process's
    // controlling terminal.
    const int descriptor
        = ::open(path.constData(), O_WRONLY | O_TRUNC | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        struct stat status = {};
        if (error == ENXIO && ::stat(path.constData(), &status) == 0 && S_ISFIFO(status.st_mode))
            return captureOpenFailure(fileName, tr("no program reads from it"));
        return captureOpenFailure(fileName, qt_error_string(error));
    }
    // Bytes go as fast as the reader or the device takes them. One that stops taking them ends
    // the capture with a reason instead of holding the window; a reader that went away gives
    // "Broken pipe", as the program ignores SIGPIPE.
    QString cause;
    qint64 done = 0;
    while (done < bytes.size() && cause.isEmpty()) {
        const ssize_t count
            = ::write(descriptor, bytes.constData() + done, size_t(bytes.size() - done));
        if (count > 0) {
            done += count;
        } else if (count < 0 && errno == EAGAIN) {
            pollfd room = {descriptor, POLLOUT, 0};
            int ready = 0;
            do {
                ready = ::poll(&room, 1, stallTimeout);
            } while (ready < 0 && errno == EINTR);
            if (ready == 0)
                cause = tr("it took no bytes for %1 seconds").arg(stallTimeout / 1000);
            else if (ready < 0)
                cause = qt_error_string(errno);
        } else if (count == 0 || errno != EINTR) {
            cause = qt_error_string(count < 0 ? errno : EIO);
        }
    }
    if (::close(descriptor) != 0 && errno != EINTR && cause.isEmpty())
        cause = qt_error_string(errno);
    return cause.isEmpty() ? QString() : captureWriteFailure(fileName, cause);
}

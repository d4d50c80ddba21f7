// The device link on Linux and other Unix systems: discovery reads sysfs, and port names go to
// the serial library as they are (a bare name means /dev/<name>, a path is used unchanged).

#include "link/platform.h"
#include "link/sysfsdevices.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString deviceNode(const QString &systemName)
{
    return systemName.startsWith(QLatin1Char('/')) ? systemName
                                                   : QStringLiteral("/dev/") + systemName;
}

// The first line of a file, without surrounding blanks; empty when it cannot be read.
QString firstLine(const QString &path, char separator = '\n')
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray content = file.read(4096);
    return QString::fromLocal8Bit(content.left(content.indexOf(separator))).trimmed();
}

// Whether the process runs; one of another user runs too, though it may not be signalled.
bool processLives(qint64 pid)
{
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Whether a port of this process holds the lock file: QLockFile, through which the serial library
// locks, keeps an exclusive flock on the file for as long as it holds it.
bool heldHere(const QString &file)
{
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

// The name the process was started under, or its command name; empty when the system keeps both.
QString processName(qint64 pid)
{
    const QString process = QStringLiteral("/proc/%1/").arg(pid);
    const QString program
        = QFileInfo(firstLine(process + QStringLiteral("cmdline"), '\0')).fileName();
    return program.isEmpty() ? firstLine(process + QStringLiteral("comm")) : program;
}

} // namespace

QStringList findDevicePorts()
{
    return SysfsDevices().tarquelPorts();
}

QString systemPortName(const QString &name)
{
    return name;
}

PortLoss portLoss(const QString &systemName, qintptr handle)
{
    // An unplugged device takes its node with it; a device that hung up (or was reset and came
    // back) leaves the descriptor reporting a hang-up.
    if (!QFileInfo::exists(deviceNode(systemName)))
        return PortLoss::WentAway;
    pollfd port = {int(handle), POLLOUT, 0};
    if (handle >= 0 && ::poll(&port, 1, 0) == 1 && (port.revents & POLLHUP))
        return PortLoss::HungUp;
    return PortLoss::Unknown;
}

QStringList portLockFiles(const QString &systemName)
{
    // The serial library's folders, in its order (it locks in the first usable one), then the
    // temporary folder it falls back to. Slashes of the name below /dev become underscores.
    const QString node = deviceNode(systemName);
    QString lockName = node.startsWith(QStringLiteral("/dev/")) ? node.mid(5) : node;
    lockName.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders = {QStringLiteral("/var/lock"),
                                 QStringLiteral("/etc/locks"),
                                 QStringLiteral("/var/spool/locks"),
                                 QStringLiteral("/var/spool/uucp"),
                                 QStringLiteral("/tmp"),
                                 QStringLiteral("/var/tmp"),
                                 QStringLiteral("/var/lock/lockdev"),
                                 QStringLiteral("/run/lock"),
                                 QStandardPaths::writableLocation(QStandardPaths::TempLocation)};
    QStringList files;
    for (const QString &folder : folders)
        files.append(folder + QStringLiteral("/LCK..") + lockName);
    files.removeDuplicates();
    return files;
}

qint64 lockFileProcess(const QByteArray &content)
{
    const auto lineEnd = content.indexOf('\n');
    const QByteArray pid = (lineEnd < 0 ? content : content.left(lineEnd)).trimmed();
    // Digits only (no sign), and few enough that the range check below sees no overflow.
    const bool digits
        = !pid.isEmpty() && pid.size() <= 10
          && std::all_of(pid.cbegin(), pid.cend(), [](char c) { return c >= '0' && c <= '9'; });
    const qint64 value = digits ? pid.toLongLong() : 0;
    return value <= std::numeric_limits<pid_t>::max() ? value : 0;
}

PortLock checkPortLock(const QString &systemName)
{
    PortLock stale;
    for (const QString &file : portLockFiles(systemName)) {
        QFile reader(file);
        if (!reader.open(QIODevice::ReadOnly))
            continue;
        PortLock lock;
        lock.file = file;
        lock.pid = lockFileProcess(reader.read(128));
        reader.close();
        if (lock.pid == 0)
            continue;
        lock.live = lock.pid == QCoreApplication::applicationPid() ? heldHere(file)
                                                                   : processLives(lock.pid);
        if (lock.live) {
            lock.holder = processName(lock.pid);
            lock.holder = lock.holder.isEmpty()
                              ? QStringLiteral("process %1").arg(lock.pid)
                              : QStringLiteral("%1 (process %2)").arg(lock.holder).arg(lock.pid);
            return lock;
        }
        // Removed here rather than left to the serial library, which keeps a lock of this process
        // in its own form for 30 s, and cannot say why it failed to remove one.
        if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT
            && stale.file.isEmpty()) {
            lock.removeError = QString::fromLocal8Bit(std::strerror(errno));
            stale = lock;
        }
    }
    return stale;
}

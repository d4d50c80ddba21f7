// The device link on Linux and other Unix systems: discovery reads sysfs, and port names go to
// the serial library as they are (a bare name means /dev/<name>, a path is used unchanged).

#include "link/platform.h"
#include "link/sysfsdevices.h"

#include <QFile>
#include <QFileInfo>

#include <poll.h>

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

QString portHolder(const QString &systemName)
{
    // The serial library, and the classic tools, lock a port with a file LCK..<name> (slashes
    // of the name below /dev as underscores) in the first of these folders that holds one. Its
    // first line is the holder's process ID.
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
                                 QStringLiteral("/run/lock")};
    for (const QString &folder : folders) {
        const QString lockFile = folder + QStringLiteral("/LCK..") + lockName;
        bool isNumber = false;
        const qint64 pid = firstLine(lockFile).toLongLong(&isNumber);
        if (!isNumber || pid <= 0)
            continue;
        const QString process = QStringLiteral("/proc/%1/").arg(pid);
        QString program
            = QFileInfo(firstLine(process + QStringLiteral("cmdline"), '\0')).fileName();
        if (program.isEmpty())
            program = firstLine(process + QStringLiteral("comm"));
        if (program.isEmpty())
            return QStringLiteral("process %1").arg(pid);
        return QStringLiteral("%1 (process %2)").arg(program).arg(pid);
    }
    return QString();
}

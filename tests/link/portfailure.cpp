#include "portfailure.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace {

bool replaceWith(int replacement, int descriptor)
{
    if (replacement < 0)
        return false;
    // The serial library holds the terminal for exclusive use and gives it up when it closes
    // the port; it will close the replacement instead, so give the terminal up here, or nobody
    // but the superuser could open it again.
    ::ioctl(descriptor, TIOCNXCL);
    const bool done = ::dup2(replacement, descriptor) == descriptor;
    ::close(replacement);
    return done;
}

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

bool replaceWithDirectory(int descriptor)
{
    return replaceWith(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC), descriptor);
}

bool replaceWithHungUpTerminal(int descriptor)
{
    int master = -1;
    int slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        return false;
    // With its only slave closed, the master reads EIO.
    ::close(slave);
    return replaceWith(master, descriptor);
}

bool replaceWithBrokenPipe(int descriptor)
{
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    // The far end stays open but takes nothing, so reads wait and writes fail.
    ::shutdown(pair[1], SHUT_RD);
    ::fcntl(pair[0], F_SETFL, O_NONBLOCK);
    return replaceWith(pair[0], descriptor);
}

QList<int> descriptorsOpenOn(const QString &path)
{
    QList<int> found;
    const QDir table(QStringLiteral("/proc/self/fd"));
    const QStringList entries
        = table.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        if (QFile::symLinkTarget(table.filePath(entry)) == path)
            found.append(entry.toInt());
    }
    std::sort(found.begin(), found.end());
    return found;
}

double cpuSecondsOver(int msecs)
{
    const double start = processCpuSeconds();
    QTest::qWait(msecs);
    return processCpuSeconds() - start;
}

void addPortFailureRows()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unplugged") << "unplugged"
                               << "the device went away";
    QTest::newRow("read error") << "directory"
                                << "Is a directory";
    QTest::newRow("resource error") << "hung-up terminal"
                                    << "the device hung up";
}

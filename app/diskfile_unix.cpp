// The log file's identity and its sync to the disk on Linux and other Unix systems.

#include "app/diskfile.h"

#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

FileIdentity identityOf(const struct stat &status)
{
    FileIdentity identity;
    identity.known = true;
    identity.volume = quint64(status.st_dev);
    identity.file = quint64(status.st_ino);
    return identity;
}

} // namespace

FileIdentity identityOfOpenFile(int descriptor)
{
    struct stat status = {};
    return ::fstat(descriptor, &status) == 0 ? identityOf(status) : FileIdentity();
}

FileIdentity identityOfPath(const QString &fileName)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(fileName).constData(), &status) == 0)
        return identityOf(status);
    FileIdentity identity;
    identity.missing = errno == ENOENT || errno == ENOTDIR;
    return identity;
}

QString syncToDisk(int descriptor)
{
    int result = 0;
    do {
        result = ::fdatasync(descriptor);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? QString() : qt_error_string(errno);
}

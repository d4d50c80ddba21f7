// A scratch file on Unix: a file without a name from the start where the file system allows
// (O_TMPFILE), else one that loses its name the moment it is made; either way the last close,
// the process's end included, frees it.

#include "scratchfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

int openUnnamed(const QByteArray &folder)
{
#ifdef O_TMPFILE
    const int unnamed = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // File systems without unnamed files say so with one of these; anything else is the answer.
    if (unnamed >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL))
        return unnamed;
#endif
    QByteArray name = folder + "/tarquel-hex-XXXXXX";
    // mkstemp makes the file for this user alone (0600).
    const int descriptor = ::mkstemp(name.data());
    if (descriptor < 0)
        return -1;
    if (::unlink(name.constData()) != 0 || ::fcntl(descriptor, F_SETFD, FD_CLOEXEC) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        ::close(descriptor);
        errno = error;
        return -1;
    }
    return descriptor;
}

} // namespace

ScratchFile::~ScratchFile()
{
    close();
}

bool ScratchFile::open(const QString &folder)
{
    close();
    const int descriptor = openUnnamed(QFile::encodeName(folder));
    if (descriptor < 0) {
        m_error = qt_error_string(errno);
        return false;
    }
    m_handle = descriptor;
    m_folder = folder;
    m_error.clear();
    return true;
}

void ScratchFile::close()
{
    if (isOpen())
        ::close(int(m_handle));
    m_handle = invalidHandle;
}

bool ScratchFile::write(qint64 position, const char *data, qint64 count)
{
    while (count > 0) {
        const ssize_t written = ::pwrite(int(m_handle), data, size_t(count), off_t(position));
        if (written < 0 && errno == EINTR)
            continue;
        // A write that stops short says nothing; the next one says why.
        if (written <= 0) {
            m_error = written < 0 ? qt_error_string(errno) : qt_error_string(ENOSPC);
            return false;
        }
        data += written;
        position += written;
        count -= written;
    }
    return true;
}

bool ScratchFile::read(qint64 position, char *data, qint64 count) const
{
    while (count > 0) {
        const ssize_t done = ::pread(int(m_handle), data, size_t(count), off_t(position));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            m_error = done < 0 ? qt_error_string(errno) : QStringLiteral("the file ended early");
            return false;
        }
        data += done;
        position += done;
        count -= done;
    }
    return true;
}

bool ScratchFile::clear()
{
    if (::ftruncate(int(m_handle), 0) == 0)
        return true;
    m_error = qt_error_string(errno);
    return false;
}

qint64 ScratchFile::size() const
{
    struct stat status = {};
    if (::fstat(int(m_handle), &status) != 0)
        return -1;
    return qint64(status.st_size);
}

qint64 ScratchFile::freeSpace() const
{
    struct statvfs status = {};
    if (::fstatvfs(int(m_handle), &status) != 0)
        return -1;
    return qint64(status.f_bavail) * qint64(status.f_frsize);
}

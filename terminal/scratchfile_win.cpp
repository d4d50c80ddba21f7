// A scratch file on Windows: opened for this process alone (no sharing) and deleted by the
// system when its last handle closes, which the end of the process does too.

#include "scratchfile.h"

#include <QDir>
#include <QUuid>

#include <windows.h>

namespace {

HANDLE handleOf(qintptr handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED at(qint64 position)
{
    OVERLAPPED overlapped = {};
    overlapped.Offset = DWORD(quint64(position) & 0xffffffffu);
    overlapped.OffsetHigh = DWORD(quint64(position) >> 32);
    return overlapped;
}

// Reads or writes count bytes at position through transfer, at most 1 GiB a call; false, with
// the system's words in error, once a call fails or moves nothing.
template <typename Byte, typename Transfer>
bool inParts(qint64 position, Byte *data, qint64 count, QString &error, Transfer transfer)
{
    while (count > 0) {
        OVERLAPPED overlapped = at(position);
        DWORD done = 0;
        const DWORD part = DWORD(qMin<qint64>(count, 1 << 30));
        if (!transfer(data, part, &done, &overlapped) || done == 0) {
            error = qt_error_string(int(GetLastError()));
            return false;
        }
        data += done;
        position += done;
        count -= done;
    }
    return true;
}

} // namespace

ScratchFile::~ScratchFile()
{
    close();
}

bool ScratchFile::open(const QString &folder)
{
    close();
    const QString name = QDir::toNativeSeparators(
        folder + QStringLiteral("/tarquel-hex-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".tmp"));
    const HANDLE handle = CreateFileW(
        reinterpret_cast<const wchar_t *>(name.utf16()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_error = qt_error_string(int(GetLastError()));
        return false;
    }
    m_handle = reinterpret_cast<qintptr>(handle);
    m_folder = folder;
    m_error.clear();
    return true;
}

void ScratchFile::close()
{
    if (isOpen())
        CloseHandle(handleOf(m_handle));
    m_handle = invalidHandle;
}

bool ScratchFile::write(qint64 position, const char *data, qint64 count)
{
    return inParts(position, data, count, m_error,
                   [this](const char *bytes, DWORD part, DWORD *done, OVERLAPPED *overlapped) {
                       return WriteFile(handleOf(m_handle), bytes, part, done, overlapped);
                   });
}

bool ScratchFile::read(qint64 position, char *data, qint64 count) const
{
    return inParts(position, data, count, m_error,
                   [this](char *bytes, DWORD part, DWORD *done, OVERLAPPED *overlapped) {
                       return ReadFile(handleOf(m_handle), bytes, part, done, overlapped);
                   });
}

bool ScratchFile::clear()
{
    LARGE_INTEGER start = {};
    if (SetFilePointerEx(handleOf(m_handle), start, nullptr, FILE_BEGIN)
        && SetEndOfFile(handleOf(m_handle)))
        return true;
    m_error = qt_error_string(int(GetLastError()));
    return false;
}

qint64 ScratchFile::size() const
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(handleOf(m_handle), &size))
        return -1;
    return qint64(size.QuadPart);
}

qint64 ScratchFile::freeSpace() const
{
    ULARGE_INTEGER available = {};
    const QString folder = QDir::toNativeSeparators(m_folder);
    if (!GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t *>(folder.utf16()), &available, nullptr,
                             nullptr))
        return -1;
    return qint64(available.QuadPart);
}

// The log file's identity and its flush to the disk on Windows.

#include "app/diskfile.h"

#include <QDir>

#include <io.h>
#include <windows.h>

namespace {

FileIdentity identityOfHandle(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    FileIdentity identity;
    if (!GetFileInformationByHandle(handle, &information))
        return identity;
    identity.known = true;
    identity.volume = information.dwVolumeSerialNumber;
    identity.file = (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return identity;
}

} // namespace

FileIdentity identityOfOpenFile(int descriptor)
{
    return identityOfHandle(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor)));
}

FileIdentity identityOfPath(const QString &fileName)
{
    // Opened for no access at all, sharing everything, so that it disturbs no other program.
    const QString native = QDir::toNativeSeparators(fileName);
    const HANDLE handle = CreateFileW(reinterpret_cast<const wchar_t *>(native.utf16()), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        FileIdentity identity;
        identity.missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return identity;
    }
    const FileIdentity identity = identityOfHandle(handle);
    CloseHandle(handle);
    return identity;
}

QString syncToDisk(int descriptor)
{
    if (FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(descriptor))))
        return QString();
    return qt_error_string(int(GetLastError()));
}

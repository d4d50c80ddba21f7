// Writing a capture file where it stands, on Windows: only a file in a folder the user may not
// write to gets here.

#include "app/capturefile.h"

#include <QFile>

QString writeCaptureFileInPlace(const QString &fileName, const QByteArray &bytes)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return captureOpenFailure(fileName, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush())
        return captureWriteFailure(fileName, file.errorString());
    return QString();
}

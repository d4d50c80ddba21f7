// Writing a capture file: replaced safely where that can be done, written in place otherwise.

#include "app/capturefile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace {

// Where a new file cannot be made beside the old one and renamed over it, or where that would
// destroy what the name is, the capture is written into what the name is now.
// A FIFO or a device (a printer, a terminal port, /dev/null) is written into, as a shell
// redirection does: a user who names one wants the capture to go through it, and a regular file
// put in its place would break it for every program that uses it.
// A file the user may write in a folder the user may not write to can only be written in place.
bool writesInPlace(const QFileInfo &target)
{
    if (!target.exists())
        return false;
    if (!target.isFile())
        return true;
    // The folder of the file a link points at, which is where the new file would be made.
    const QFileInfo folder(QFileInfo(target.canonicalFilePath()).absolutePath());
    return target.isWritable() && !folder.isWritable();
}

} // namespace

// The toolkit's HTML export declares no character set (or UTF-8, in newer versions), but the
// file is written as Latin-1: say so, or a browser shows é as two odd characters.
QString captureHtml(QString html)
{
    html.remove(QStringLiteral("<meta charset=\"utf-8\" />"));
    const QString head = QStringLiteral("<head>");
    const int at = html.indexOf(head);
    const QString declaration = QStringLiteral(
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\" />");
    if (at >= 0)
        html.insert(at + head.size(), declaration);
    return html;
}

QString captureOpenFailure(const QString &fileName, const QString &cause)
{
    return QCoreApplication::translate("VantorTerm", "Can't Open File")
           + QStringLiteral(" (%1: %2)").arg(fileName, cause);
}

QString captureWriteFailure(const QString &fileName, const QString &cause)
{
    return QCoreApplication::translate("VantorTerm", "Can't Write File")
           + QStringLiteral(" (%1: %2)").arg(fileName, cause);
}

QString writeCaptureFile(const QString &fileName, const QByteArray &bytes)
{
    const QFileInfo target(fileName);
    if (target.isDir())
        return captureOpenFailure(fileName, qt_error_string(EISDIR));
    if (writesInPlace(target))
        return writeCaptureFileInPlace(fileName, bytes);

    // Written beside the old file and put in its place only once complete, so that a full disk
    // or an I/O error leaves an existing capture as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return captureOpenFailure(fileName, file.errorString());
    // A short write says nothing; writing on makes the system say why. Flushed before the
    // commit, which would report a failed write only as an unknown error.
    qint64 done = 0;
    for (qint64 count = 0; done < bytes.size(); done += count) {
        count = file.write(bytes.constData() + done, bytes.size() - done);
        if (count <= 0)
            break;
    }
    if (done < bytes.size() || !file.flush() || !file.commit())
        return captureWriteFailure(fileName, file.errorString());
    return QString();
}

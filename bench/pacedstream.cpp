#include "pacedstream.h"

namespace PacedStream {

namespace {

const QLatin1String marker("line ");
const int digits = 6;

// Where the last complete "line NNNNNN " of text starts, and its number; -1 when there is none.
int lastNumber(const QString &text, int *number)
{
    for (int at = text.lastIndexOf(marker); at >= 0;
         at = at > 0 ? text.lastIndexOf(marker, at - 1) : -1) {
        const int end = at + marker.size() + digits;
        if (end >= text.size() || text.at(end) != QLatin1Char(' '))
            continue;
        bool ok = false;
        *number = text.mid(at + marker.size(), digits).toInt(&ok);
        if (ok)
            return at;
    }
    return -1;
}

} // namespace

QByteArray text(bool lineFeeds)
{
    QByteArray stream;
    stream.reserve(lineCount * stride(lineFeeds));
    for (int n = 0; n < lineCount; ++n) {
        QByteArray line = marker.latin1() + QByteArray::number(n).rightJustified(digits, '0') + ' ';
        while (line.size() < lineLength)
            line.append(char('A' + (line.size() + n) % 26));
        stream += line + (lineFeeds ? "\r\n" : " ");
    }
    return stream;
}

int stride(bool lineFeeds)
{
    return lineLength + (lineFeeds ? 2 : 1);
}

qint64 bytesShown(const QString &previous, const QString &last, bool lineFeeds, qint64 sent)
{
    int number = 0;
    QString tail = last;
    int at = lastNumber(tail, &number);
    if (at < 0 && !previous.isEmpty()) {
        tail = previous + QLatin1Char('\n') + last;
        at = lastNumber(tail, &number);
    }
    if (at < 0)
        return -1;
    // The view shows CR LF as one line break.
    const qint64 after = tail.size() - at + tail.mid(at).count(QLatin1Char('\n'));
    const qint64 period = qint64(lineCount) * stride(lineFeeds);
    const qint64 inPeriod = (qint64(number) * stride(lineFeeds) + after) % period;
    // The newest shown bytes are the last ones up to what was sent that end where the view ends.
    return sent - ((sent - inPeriod) % period + period) % period;
}

} // namespace PacedStream

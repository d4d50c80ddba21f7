#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QTime>

// The time before each line while timestamps are on: "HH:MM:SS.mmm ", the local time at which
// the line's first character arrived. The view and the log file write the same.
constexpr int timestampLength = 13;

inline QByteArray timestampPrefix(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss.zzz ")).toLatin1();
}

// The same as text, from milliseconds since midnight, as the text view keeps it for each line.
inline QString timestampText(int msecsSinceMidnight)
{
    return QString::fromLatin1(
        timestampPrefix(QTime::fromMSecsSinceStartOfDay(msecsSinceMidnight)));
}

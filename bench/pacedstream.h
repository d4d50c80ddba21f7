#pragma once

#include <QByteArray>
#include <QString>

// What a device streaming at USB full speed sends in the paced runs: 1,200 bytes every
// millisecond of 70-character lines, each numbered, ended by CR LF or (a device that never sends
// a line feed) by a blank. 100,000 numbers make the stream repeat only every 6 s, so the number
// of the newest line on screen tells which bytes of the stream it shows.
namespace PacedStream {

constexpr int chunk = 1200;
constexpr int intervalUs = 1000;
constexpr int lineLength = 70;
constexpr int lineCount = 100000;

QByteArray text(bool lineFeeds);
// Bytes from the start of one line to the start of the next.
int stride(bool lineFeeds);
// How many bytes of the stream the newest text of a view shows, from the view's last two lines
// (previous may be empty) and the bytes sent so far, which it cannot be ahead of; -1 when the
// lines hold no complete line number.
qint64 bytesShown(const QString &previous, const QString &last, bool lineFeeds, qint64 sent);

} // namespace PacedStream

#pragma once

#include <QByteArray>
#include <QString>

// What an HTML capture holds: the toolkit's export of the screen, declaring the Latin-1 it is
// written in.
QString captureHtml(QString html);

// Writes bytes as the capture file fileName. Returns an empty string once every byte is
// written, or else what to tell the user: "Can't Open File (name: cause)" or "Can't Write File
// (name: cause)".
QString writeCaptureFile(const QString &fileName, const QByteArray &bytes);

// The two texts writeCaptureFile() returns on failure.
QString captureOpenFailure(const QString &fileName, const QString &cause);
QString captureWriteFailure(const QString &fileName, const QString &cause);

// Writes bytes into what fileName is now, truncating a regular file, with no copy beside it;
// returns what writeCaptureFile() returns. Defined once per platform in capturefile_unix.cpp or
// capturefile_win.cpp.
QString writeCaptureFileInPlace(const QString &fileName, const QByteArray &bytes);

#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// The two ways characters typed or pasted into the terminal become bytes for the device.

// A typed key's text, sent in one write: Latin-1, one byte per UTF-16 code unit, and '?' (0x3F)
// for a code unit the device's character set does not hold.
QByteArray typedBytes(const QString &text);

// One code unit of a paste or a function-key string, sent on its own: its value when it fits in
// a byte, else NUL.
char pacedByte(QChar unit);

#include "transmitencoding.h"

QByteArray typedBytes(const QString &text)
{
    // toLatin1() maps every code unit above 0xFF, each half of a surrogate pair included, to
    // one '?', so the byte count always equals the code-unit count.
    return text.toLatin1();
}

char pacedByte(QChar unit)
{
    return unit.unicode() <= 0xFF ? char(unit.unicode()) : '\0';
}

#include "hexlayout.h"

namespace {

const char hexDigits[] = "0123456789abcdef";

int hexDigitCount(quint64 value)
{
    int digits = 1;
    while (value >>= 4)
        ++digits;
    return digits;
}

} // namespace

HexLayout::HexLayout(qint64 firstOffset, qint64 size)
    : m_firstOffset(firstOffset)
    , m_size(size)
{
    const qint64 lastRowOffset = rowOffset(qMax<qint64>(rowCount() - 1, 0));
    m_offsetDigits = qMax(minimumOffsetDigits, hexDigitCount(quint64(lastRowOffset)));
}

qint64 HexLayout::rowCount() const
{
    return (m_size + bytesPerRow - 1) / bytesPerRow;
}

int HexLayout::hexCell(int column) const
{
    return m_offsetDigits + 2 + 3 * column + (column >= bytesPerRow / 2 ? 1 : 0);
}

int HexLayout::charCell(int column) const
{
    // Two digits for the last byte, then two blank cells before the characters.
    return hexCell(bytesPerRow - 1) + 4 + column;
}

int HexLayout::columnAtCell(int cell) const
{
    if (cell >= charCell(0))
        return qMin(cell - charCell(0), bytesPerRow - 1);
    int column = bytesPerRow - 1;
    while (column > 0 && cell < hexCell(column))
        --column;
    return column;
}

QChar HexLayout::displayChar(uchar byte)
{
    return byte >= 0x20 && byte < 0x7f ? QChar(QLatin1Char(char(byte))) : QLatin1Char('.');
}

QString HexLayout::rowText(const char *rowBytes, qint64 row) const
{
    QString text(cellsPerRow(), QLatin1Char(' '));
    QChar *cells = text.data();
    quint64 offset = quint64(rowOffset(row));
    for (int digit = m_offsetDigits - 1; digit >= 0; --digit) {
        cells[digit] = QLatin1Char(hexDigits[offset & 0xf]);
        offset >>= 4;
    }
    const int count
        = rowBytes ? int(qBound(qint64(0), m_size - indexOf(row, 0), qint64(bytesPerRow))) : 0;
    for (int column = 0; column < count; ++column) {
        const uchar byte = uchar(rowBytes[column]);
        const int cell = hexCell(column);
        cells[cell] = QLatin1Char(hexDigits[byte >> 4]);
        cells[cell + 1] = QLatin1Char(hexDigits[byte & 0xf]);
        cells[charCell(column)] = displayChar(byte);
    }
    return text;
}

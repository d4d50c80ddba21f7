#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

// Where every byte of the hex view goes: rows of sixteen bytes, each row the offset of its first
// byte, the bytes in hex and the same bytes as characters. Positions are counted in character
// cells, so painting only has to scale them by the width of one cell.
class HexLayout
{
public:
    static constexpr int bytesPerRow = 16;
    static constexpr int minimumOffsetDigits = 8;

    // firstOffset is the offset in the received stream of the first byte held, size the number
    // of bytes held from there on.
    HexLayout(qint64 firstOffset, qint64 size);

    qint64 firstOffset() const { return m_firstOffset; }
    qint64 size() const { return m_size; }

    qint64 rowCount() const;
    // Index (into the bytes held) of a row's first byte, and the row and column of an index.
    static qint64 indexOf(qint64 row, int column) { return row * bytesPerRow + column; }
    static qint64 rowOf(qint64 index) { return index / bytesPerRow; }
    static int columnOf(qint64 index) { return int(index % bytesPerRow); }
    // Offset in the received stream shown at the start of a row.
    qint64 rowOffset(qint64 row) const { return m_firstOffset + row * bytesPerRow; }

    // Wide enough for the largest offset held, and never narrower than eight digits.
    int offsetDigits() const { return m_offsetDigits; }
    // Cells of a byte's first hex digit and of its character; a gap splits the hex at eight.
    int hexCell(int column) const;
    int charCell(int column) const;
    int cellsPerRow() const { return charCell(bytesPerRow); }
    // The column a pointer at a cell means: a byte's hex digits and the blank after them, or its
    // character; cells left of the first byte mean the first, cells right of the last the last.
    int columnAtCell(int cell) const;

    // How a byte looks in the character column: printable ASCII as itself, everything else '.'.
    static QChar displayChar(uchar byte);

    // One row exactly as painted, cellsPerRow() cells; bytes past the end leave their cells
    // blank. rowBytes points at the row's first byte: where the bytes are held is not the
    // layout's business, only that a row's bytes lie together. Bytes that could not be read
    // (rowBytes null) leave their cells blank too, not shown as something they are not.
    QString rowText(const char *rowBytes, qint64 row) const;

private:
    qint64 m_firstOffset;
    qint64 m_size;
    int m_offsetDigits;
};

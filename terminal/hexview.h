#pragma once

#include "hexbuffer.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QFont>

class HexLayout;
class RepaintPacer;

// Read-only hex dump of everything received: offset, sixteen bytes in hex and the same bytes as
// characters. Paints only the rows on screen, so its cost does not grow with what it holds.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit HexView(QWidget *parent = nullptr);
    ~HexView() override;

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    QByteArray data() const;
    void setData(const QByteArray &data);
    void appendData(const QByteArray &data);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void updateScrollBars();
    void updateMetrics();
    int visibleRows() const;
    int cellX(const HexLayout &layout, int cell) const;
    int rowWidth(const HexLayout &layout) const;

    HexBuffer m_data;
    RepaintPacer *m_pacer = nullptr;
    bool m_readOnly = false;
    QFont m_font;
    // Font measures, taken again only when the font changes.
    // Offsets and hex digits sit in cells of the widest hex digit, the characters in cells of
    // the widest printable character, so that a proportional font keeps its columns too.
    int m_digitWidth = 1;
    int m_charWidth = 1;
    int m_lineHeight = 1;
    int m_ascent = 0;
    bool m_fixedPitch = true;
};

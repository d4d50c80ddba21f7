#pragma once

#include "hexbuffer.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QFont>

class HexLayout;
class RepaintPacer;

// Read-only hex dump of everything received: offset, sixteen bytes in hex and the same bytes as
// characters. Paints only the rows on screen, so its cost does not grow with what it holds; its
// HexBuffer keeps the newest bytes in memory and older ones in a cache file in the user's cache
// folder, which nothing outlives. Bytes selected with the mouse are copied as hex text; every
// other key is reported as keyInput(), as the text view reports it, for the device. At its limit
// it gives up its oldest bytes, says so on a line above its first row, and reports it with
// oldestBytesDropped().
class HexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // Its cache file goes in the user's cache folder.
    explicit HexView(QWidget *parent = nullptr);
    // Within other limits, and with the cache file elsewhere or none: for tests, which reach the
    // limits without gigabytes.
    explicit HexView(const HexBuffer::Limits &limits, QWidget *parent = nullptr);
    ~HexView() override;
    // Empties the view, which keeps within limits from now on: for tests of the window's own.
    void setLimits(const HexBuffer::Limits &limits);

    void setReadOnly(bool readOnly);
    bool isReadOnly() const;

    QByteArray data() const;
    // How many bytes it holds, without copying them as data() may.
    qint64 dataSize() const;
    // How many it was given since it was last given data with setData(), held or gone.
    qint64 receivedSize() const;
    void setData(const QByteArray &data);
    void appendData(const QByteArray &data);
    // Appends a received batch and shows the newest rows, wherever the user had scrolled to.
    void appendReceived(const QByteArray &batch);

    // The bytes the user selected, and copying them to the clipboard as "48 65 6c"; a selection
    // larger than TerminalConstants::maximumHexCopyBytes is not copied, a box says why.
    QByteArray selectedBytes() const;
    void copy();

    // What the line above the first row says once the oldest bytes are gone; empty while the
    // view holds every byte it was given.
    QString droppedNotice() const;

signals:
    void keyInput(int key, const QString &text);
    // The oldest bytes went at the limit; droppedSoFar counts every byte given up since the view
    // was last given data with setData(). Once for each drop, which is rare: an eighth of the
    // limit goes at once.
    void oldestBytesDropped(qint64 droppedSoFar);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Sets the scroll bars for what is held and scrolls to the newest rows.
    void showNewest();
    void updateScrollBars();
    void updateMetrics();
    int visibleRows() const;
    qreal cellX(const HexLayout &layout, int cell) const;
    int rowWidth(const HexLayout &layout) const;
    int cellAtX(const HexLayout &layout, int x) const;
    qint64 byteAt(const QPoint &position) const;
    bool hasSelection() const;
    // Offset of the first selected byte still held, and how many are selected from there on;
    // only while hasSelection().
    qint64 selectionStart() const;
    qint64 selectionSize() const;
    // 1 while the notice of dropped bytes takes the line above the first row, else 0.
    int noticeLines() const { return m_data.firstOffset() > 0 ? 1 : 0; }
    QFont noticeFont() const;
    void reportDrop(qint64 droppedBefore);

    HexBuffer m_data;
    RepaintPacer *m_pacer = nullptr;
    // Received bytes since the last paint, which tell the pacer whether data streams in.
    qint64 m_receivedSincePaint = 0;
    // Bytes were received while hidden: the scroll bars are set, at the newest rows, on show.
    bool m_newestOnShow = false;
    // Bytes were received while the pacer held the repaint back: the scroll bars are set, at the
    // newest rows, when it lets the repaint go.
    bool m_newestOnRelease = false;
    bool m_readOnly = false;
    QFont m_font;
    // Font measures, taken again only when the font changes.
    // Offsets and hex digits sit in cells of the widest hex digit, the characters in cells of
    // the widest printable character, so that a proportional font keeps its columns too.
    // Widths are fractional, as the font lays out a string, so cells stay under their text.
    qreal m_digitWidth = 1;
    qreal m_charWidth = 1;
    int m_lineHeight = 1;
    int m_ascent = 0;
    bool m_fixedPitch = true;
    // Width of the notice of dropped bytes, taken again when it or the font changes.
    int m_noticeWidth = 0;
    // The selection's ends as offsets in the received stream (both bytes included), so that it
    // stays on the same bytes when the oldest rows go; -1 while nothing is selected.
    qint64 m_selectionAnchor = -1;
    qint64 m_selectionEnd = -1;
};

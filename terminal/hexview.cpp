#include "hexview.h"

#include "hexlayout.h"
#include "repaintpacer.h"
#include "stylesheet.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QtMath>

#include <algorithm>

namespace {

// Blank space left of the offsets and above the first row, in pixels.
const int margin = 4;

} // namespace

HexView::HexView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    verticalScrollBar()->setSingleStep(1);
    m_pacer = new RepaintPacer({viewport(), verticalScrollBar(), horizontalScrollBar()});
    updateMetrics();
    updateScrollBars();
}

HexView::~HexView() = default;

void HexView::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

bool HexView::isReadOnly() const
{
    return m_readOnly;
}

QByteArray HexView::data() const
{
    return m_data.bytes();
}

void HexView::setData(const QByteArray &data)
{
    m_selectionAnchor = m_selectionEnd = -1;
    m_data.setData(data);
    updateScrollBars();
    viewport()->update();
}

void HexView::appendData(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    m_pacer->contentChanging();
    m_data.append(data);
    updateScrollBars();
    viewport()->update();
}

QByteArray HexView::selectedBytes() const
{
    if (!hasSelection())
        return QByteArray();
    const qint64 first = qMax(qMin(m_selectionAnchor, m_selectionEnd), m_data.firstOffset());
    const qint64 last = qMax(m_selectionAnchor, m_selectionEnd);
    return m_data.bytes().mid(int(first - m_data.firstOffset()), int(last - first + 1));
}

void HexView::copy()
{
    const QByteArray bytes = selectedBytes();
    if (!bytes.isEmpty())
        QGuiApplication::clipboard()->setText(QString::fromLatin1(bytes.toHex(' ')));
}

bool HexView::hasSelection() const
{
    return m_selectionAnchor >= 0 && m_selectionEnd >= 0
           && qMax(m_selectionAnchor, m_selectionEnd) >= m_data.firstOffset();
}

void HexView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setFont(m_font);
    const HexLayout layout(m_data.firstOffset(), m_data.size());
    const qint64 firstRow = verticalScrollBar()->value();
    const int left = margin - horizontalScrollBar()->value();
    const int top = qMax(0, (event->rect().top() - margin) / m_lineHeight);
    const int bottom = qMax(0, (event->rect().bottom() - margin) / m_lineHeight);
    const qint64 endRow = qMin(layout.rowCount(), firstRow + bottom + 1);
    qint64 selectedFirst = -1;
    qint64 selectedLast = -1;
    if (hasSelection()) {
        selectedFirst = qMin(m_selectionAnchor, m_selectionEnd) - m_data.firstOffset();
        selectedLast = qMax(m_selectionAnchor, m_selectionEnd) - m_data.firstOffset();
    }
    for (qint64 row = firstRow + top; row < endRow; ++row) {
        const QString text = layout.rowText(m_data.bytes().constData(), row);
        const int rowTop = margin + int(row - firstRow) * m_lineHeight;
        const int baseline = rowTop + m_ascent;
        const auto drawRow = [&] {
            if (m_fixedPitch) {
                painter.drawText(left, baseline, text);
                return;
            }
            // A proportional font would lose the columns in one string, so each cell is placed.
            for (int cell = 0; cell < text.size(); ++cell) {
                if (text.at(cell) != QLatin1Char(' '))
                    painter.drawText(QPointF(left + cellX(layout, cell), baseline),
                                     QString(text.at(cell)));
            }
        };
        painter.setPen(palette().color(QPalette::Text));
        drawRow();

        const qint64 rowFirst = HexLayout::indexOf(row, 0);
        const int firstColumn = int(std::clamp<qint64>(selectedFirst - rowFirst, 0, 16));
        const int lastColumn = int(std::clamp<qint64>(selectedLast - rowFirst, -1, 15));
        if (selectedFirst < 0 || firstColumn > lastColumn)
            continue;
        // The selected bytes, in both columns: highlighted ground, then the row again on top in
        // the highlighted text colour, clipped to that ground.
        const auto span = [&](int firstCell, int endCell) {
            return QRectF(left + cellX(layout, firstCell), rowTop,
                          cellX(layout, endCell) - cellX(layout, firstCell), m_lineHeight)
                .toAlignedRect();
        };
        QRegion selected(span(layout.hexCell(firstColumn), layout.hexCell(lastColumn) + 2));
        selected += span(layout.charCell(firstColumn), layout.charCell(lastColumn) + 1);
        painter.save();
        painter.setClipRegion(selected);
        painter.fillRect(selected.boundingRect(), palette().color(QPalette::Highlight));
        painter.setPen(palette().color(QPalette::HighlightedText));
        drawRow();
        painter.restore();
    }
}

void HexView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void HexView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        updateMetrics();
        updateScrollBars();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

bool HexView::event(QEvent *event)
{
    // Tab and Shift+Tab are keys for the device here too, not a move to the next widget.
    if (event->type() == QEvent::KeyPress) {
        auto keyEvent = static_cast<QKeyEvent *>(event);
        if (keyEvent->key() == Qt::Key_Tab || keyEvent->key() == Qt::Key_Backtab) {
            keyPressEvent(keyEvent);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void HexView::keyPressEvent(QKeyEvent *event)
{
    // Copy takes the selection; without one, Ctrl+C goes to the device as from the text view.
    if (event->matches(QKeySequence::Copy) && hasSelection()) {
        copy();
        return;
    }
    emit keyInput(event->key(), event->text());
}

void HexView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // A press starts a new selection, which holds bytes once the pointer moves.
    m_selectionAnchor = byteAt(event->pos());
    m_selectionEnd = -1;
    viewport()->update();
}

void HexView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_selectionAnchor < 0)
        return;
    // Dragging past the top or bottom edge scrolls on, a row for each move.
    QScrollBar *bar = verticalScrollBar();
    if (event->pos().y() < 0)
        bar->setValue(bar->value() - 1);
    else if (event->pos().y() >= viewport()->height())
        bar->setValue(bar->value() + 1);
    m_selectionEnd = byteAt(event->pos());
    viewport()->update();
}

void HexView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(tr("&Copy"), this, &HexView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.exec(event->globalPos());
}

qint64 HexView::byteAt(const QPoint &position) const
{
    if (m_data.size() == 0)
        return -1;
    const HexLayout layout(m_data.firstOffset(), m_data.size());
    const qint64 rowOnScreen = qMax(0, position.y() - margin) / m_lineHeight;
    const qint64 row = qMin(verticalScrollBar()->value() + rowOnScreen, layout.rowCount() - 1);
    const int x = position.x() - margin + horizontalScrollBar()->value();
    const int column = layout.columnAtCell(cellAtX(layout, x));
    const qint64 index = qMin(HexLayout::indexOf(row, column), m_data.size() - 1);
    return m_data.firstOffset() + index;
}

int HexView::cellAtX(const HexLayout &layout, int x) const
{
    const int firstChar = layout.charCell(0);
    if (x < firstChar * m_digitWidth)
        return int(qMax(0, x) / m_digitWidth);
    return firstChar + int((x - firstChar * m_digitWidth) / m_charWidth);
}

void HexView::updateMetrics()
{
    // The widget's font, but where its family is missing (the window asks for Lucida Console,
    // which Linux seldom has) the fallback should be a face of equal advance, so the columns stay
    // narrow and straight.
    QFont wanted = font();
    wanted.setFixedPitch(true);
    m_font = withFixedPitchFallback(wanted);
    const QFontMetrics rowMetrics(m_font);
    m_lineHeight = qMax(1, rowMetrics.lineSpacing());
    m_ascent = rowMetrics.ascent();
    const QFontMetricsF metrics(m_font);
    m_digitWidth = 1;
    for (const QChar digit : QStringLiteral("0123456789abcdef"))
        m_digitWidth = qMax(m_digitWidth, metrics.horizontalAdvance(digit));
    m_charWidth = 1;
    for (char character = 0x20; character < 0x7f; ++character)
        m_charWidth = qMax(m_charWidth, metrics.horizontalAdvance(QLatin1Char(character)));
    // Then a whole row can be drawn as one string.
    m_fixedPitch = m_digitWidth == m_charWidth
                   && metrics.horizontalAdvance(QLatin1Char(' ')) == m_charWidth
                   && metrics.horizontalAdvance(QLatin1Char('i')) == m_charWidth;
}

qreal HexView::cellX(const HexLayout &layout, int cell) const
{
    const int firstChar = layout.charCell(0);
    if (cell <= firstChar)
        return cell * m_digitWidth;
    return firstChar * m_digitWidth + (cell - firstChar) * m_charWidth;
}

int HexView::rowWidth(const HexLayout &layout) const
{
    return 2 * margin + qCeil(cellX(layout, layout.cellsPerRow()));
}

int HexView::visibleRows() const
{
    return qMax(1, (viewport()->height() - margin) / m_lineHeight);
}

void HexView::updateScrollBars()
{
    const HexLayout layout(m_data.firstOffset(), m_data.size());
    const int rows = int(layout.rowCount());
    const int pageRows = visibleRows();
    // A view that shows the newest rows keeps showing them when it is resized or shown again
    // (hex mode switched on), instead of stopping where a hidden view's size left it.
    QScrollBar *bar = verticalScrollBar();
    const bool followsEnd = bar->value() == bar->maximum();
    bar->setPageStep(pageRows);
    bar->setRange(0, qMax(0, rows - pageRows));
    if (followsEnd)
        bar->setValue(bar->maximum());

    const int width = rowWidth(layout);
    horizontalScrollBar()->setSingleStep(qMax(1, qRound(m_digitWidth)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, width - viewport()->width()));
}

#include "hexview.h"

#include "hexlayout.h"
#include "repaintpacer.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

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

void HexView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    painter.setFont(m_font);
    painter.setPen(palette().color(QPalette::Text));
    const HexLayout layout(m_data.firstOffset(), m_data.size());
    const qint64 firstRow = verticalScrollBar()->value();
    const int left = margin - horizontalScrollBar()->value();
    const int top = qMax(0, (event->rect().top() - margin) / m_lineHeight);
    const int bottom = qMax(0, (event->rect().bottom() - margin) / m_lineHeight);
    const qint64 endRow = qMin(layout.rowCount(), firstRow + bottom + 1);
    for (qint64 row = firstRow + top; row < endRow; ++row) {
        const QString text = layout.rowText(m_data.bytes().constData(), row);
        const int baseline = margin + int(row - firstRow) * m_lineHeight + m_ascent;
        if (m_fixedPitch) {
            painter.drawText(left, baseline, text);
            continue;
        }
        // A proportional font would lose the columns in one string, so each cell is placed.
        for (int cell = 0; cell < text.size(); ++cell) {
            if (text.at(cell) != QLatin1Char(' '))
                painter.drawText(left + cellX(layout, cell), baseline, QString(text.at(cell)));
        }
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

void HexView::updateMetrics()
{
    // The widget's font, but where its family is missing (the window asks for Lucida Console,
    // which Linux seldom has) the fallback should be a fixed-pitch font, so the columns stay
    // narrow and straight.
    m_font = font();
    m_font.setStyleHint(QFont::TypeWriter);
    m_font.setFixedPitch(true);
    const QFontMetrics metrics(m_font);
    m_lineHeight = qMax(1, metrics.lineSpacing());
    m_ascent = metrics.ascent();
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

int HexView::cellX(const HexLayout &layout, int cell) const
{
    const int firstChar = layout.charCell(0);
    if (cell <= firstChar)
        return cell * m_digitWidth;
    return firstChar * m_digitWidth + (cell - firstChar) * m_charWidth;
}

int HexView::rowWidth(const HexLayout &layout) const
{
    return 2 * margin + cellX(layout, layout.cellsPerRow());
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
    horizontalScrollBar()->setSingleStep(m_digitWidth);
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, width - viewport()->width()));
}

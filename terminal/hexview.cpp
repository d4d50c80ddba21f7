#include "hexview.h"

#include "hexlayout.h"
#include "repaintpacer.h"
#include "stylesheet.h"
#include "terminalconstants.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <QStandardPaths>
#include <QtMath>

#include <algorithm>
#include <utility>

namespace {

// Blank space left of the offsets and above the first row, in pixels.
const int margin = 4;

HexBuffer::Limits cacheFolderLimits()
{
    HexBuffer::Limits limits;
    limits.folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return limits;
}

} // namespace

HexView::HexView(QWidget *parent)
    : HexView(cacheFolderLimits(), parent)
{}

HexView::HexView(const HexBuffer::Limits &limits, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_data(limits)
{
    verticalScrollBar()->setSingleStep(1);
    m_pacer = new RepaintPacer({viewport(), verticalScrollBar(), horizontalScrollBar()});
    connect(m_pacer, &RepaintPacer::releasing, this, [this] {
        if (m_newestOnRelease)
            showNewest();
    });
    updateMetrics();
    updateScrollBars();
}

void HexView::setLimits(const HexBuffer::Limits &limits)
{
    m_data.setLimits(limits);
    setData(QByteArray());
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

qint64 HexView::dataSize() const
{
    return m_data.size();
}

qint64 HexView::receivedSize() const
{
    return m_data.firstOffset() + m_data.size();
}

void HexView::setData(const QByteArray &data)
{
    m_selectionAnchor = m_selectionEnd = -1;
    m_newestOnRelease = false;
    m_data.setData(data);
    reportDrop(0);
    updateScrollBars();
    viewport()->update();
}

void HexView::appendData(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    m_pacer->contentChanging();
    const qint64 droppedBefore = m_data.firstOffset();
    m_data.append(data);
    reportDrop(droppedBefore);
    updateScrollBars();
    viewport()->update();
}

void HexView::appendReceived(const QByteArray &batch)
{
    if (batch.isEmpty())
        return;
    m_receivedSincePaint += batch.size();
    const qint64 droppedBefore = m_data.firstOffset();
    m_data.append(batch);
    reportDrop(droppedBefore);
    if (!isVisible()) {
        // Hex mode is off: the bytes are kept, and the scroll bars wait until the view shows,
        // instead of being set for every batch.
        m_newestOnShow = true;
        return;
    }
    // While the repaint is held back the scroll bars wait for it too: set for every batch (some
    // 800 a second at a device's full rate) they cost more than keeping the bytes.
    m_pacer->contentChanging();
    m_newestOnRelease = true;
    if (!m_pacer->isHolding())
        showNewest();
}

void HexView::showNewest()
{
    m_newestOnRelease = false;
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

QByteArray HexView::selectedBytes() const
{
    if (!hasSelection())
        return QByteArray();
    return m_data.mid(selectionStart() - m_data.firstOffset(), selectionSize());
}

void HexView::copy()
{
    const qint64 count = hasSelection() ? selectionSize() : 0;
    // The boxes do not wait, so the window keeps receiving meanwhile.
    const auto say = [this](const QString &text) {
        auto box
            = new QMessageBox(QMessageBox::Information, tr("Copy"), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
    if (count > TerminalConstants::maximumHexCopyBytes) {
        // The text would cost seconds and gigabytes.
        const QLocale locale;
        say(tr("The selection holds %1 (%2 bytes), too large to copy as text. Select at most %3.")
                .arg(locale.formattedDataSize(count, 1), locale.toString(count),
                     locale.formattedDataSize(TerminalConstants::maximumHexCopyBytes, 1)));
        return;
    }
    if (count == 0)
        return;
    const QByteArray bytes = selectedBytes();
    if (bytes.size() != count) {
        say(tr("The selection could not be read back from the hex view's cache file: %1")
                .arg(m_data.errorString()));
        return;
    }
    QGuiApplication::clipboard()->setText(QString::fromLatin1(bytes.toHex(' ')));
}

qint64 HexView::selectionStart() const
{
    return qMax(qMin(m_selectionAnchor, m_selectionEnd), m_data.firstOffset());
}

qint64 HexView::selectionSize() const
{
    return qMax(m_selectionAnchor, m_selectionEnd) - selectionStart() + 1;
}

QString HexView::droppedNotice() const
{
    if (m_data.firstOffset() == 0)
        return QString();
    const QLocale locale;
    return tr("The oldest %1 are no longer held: this view keeps at most %2.")
        .arg(locale.formattedDataSize(m_data.firstOffset(), 1),
             locale.formattedDataSize(m_data.limit(), 2));
}

void HexView::reportDrop(qint64 droppedBefore)
{
    if (m_data.firstOffset() == droppedBefore)
        return;
    m_noticeWidth = qCeil(QFontMetricsF(noticeFont()).horizontalAdvance(droppedNotice()));
    emit oldestBytesDropped(m_data.firstOffset());
}

QFont HexView::noticeFont() const
{
    QFont font = m_font;
    font.setItalic(true);
    return font;
}

bool HexView::hasSelection() const
{
    return m_selectionAnchor >= 0 && m_selectionEnd >= 0
           && qMax(m_selectionAnchor, m_selectionEnd) >= m_data.firstOffset();
}

void HexView::paintEvent(QPaintEvent *event)
{
    m_pacer->setBusy(m_receivedSincePaint >= RepaintPacer::busyFrameBytes);
    m_receivedSincePaint = 0;
    QPainter painter(viewport());
    painter.setFont(m_font);
    const HexLayout layout(m_data.firstOffset(), m_data.size());
    // Lines on screen, counted from the top of what can be scrolled to: the notice of dropped
    // bytes, when there is one, then the rows.
    const qint64 firstLine = verticalScrollBar()->value();
    const int left = margin - horizontalScrollBar()->value();
    const int top = qMax(0, (event->rect().top() - margin) / m_lineHeight);
    const int bottom = qMax(0, (event->rect().bottom() - margin) / m_lineHeight);
    const qint64 firstRow = firstLine - noticeLines();
    const qint64 endRow = qMin(layout.rowCount(), firstRow + bottom + 1);
    if (firstRow + top < 0) {
        painter.save();
        painter.setFont(noticeFont());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(left, margin + m_ascent, droppedNotice());
        painter.restore();
    }
    qint64 selectedFirst = -1;
    qint64 selectedLast = -1;
    if (hasSelection()) {
        selectedFirst = qMin(m_selectionAnchor, m_selectionEnd) - m_data.firstOffset();
        selectedLast = qMax(m_selectionAnchor, m_selectionEnd) - m_data.firstOffset();
    }
    for (qint64 row = qMax<qint64>(0, firstRow + top); row < endRow; ++row) {
        const QString text = layout.rowText(m_data.row(row), row);
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

void HexView::showEvent(QShowEvent *event)
{
    QAbstractScrollArea::showEvent(event);
    if (std::exchange(m_newestOnShow, false)) {
        updateScrollBars();
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
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
    const qint64 lineOnScreen = qMax(0, position.y() - margin) / m_lineHeight;
    const qint64 row = qBound<qint64>(
        0, verticalScrollBar()->value() + lineOnScreen - noticeLines(), layout.rowCount() - 1);
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
    m_noticeWidth = qCeil(QFontMetricsF(noticeFont()).horizontalAdvance(droppedNotice()));
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
    const int rows = int(layout.rowCount()) + noticeLines();
    const int pageRows = visibleRows();
    // A view that shows the newest rows keeps showing them when it is resized or shown again
    // (hex mode switched on), instead of stopping where a hidden view's size left it.
    QScrollBar *bar = verticalScrollBar();
    const bool followsEnd = bar->value() == bar->maximum();
    bar->setPageStep(pageRows);
    bar->setRange(0, qMax(0, rows - pageRows));
    if (followsEnd)
        bar->setValue(bar->maximum());

    const int width = qMax(rowWidth(layout), noticeLines() * (2 * margin + m_noticeWidth));
    horizontalScrollBar()->setSingleStep(qMax(1, qRound(m_digitWidth)));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, qMax(0, width - viewport()->width()));
}

#include "ostraview.h"

#include "common/logging.h"
#include "displayfilter.h"
#include "repaintpacer.h"
#include "stylesheet.h"
#include "terminalconstants.h"
#include "timestamp.h"

#include <QAbstractTextDocumentLayout>
#include <QColorDialog>
#include <QDateTime>
#include <QDebug>
#include <QFontDialog>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using namespace TerminalConstants;

// Held-back batches are inserted at most this often: no more often than the view is drawn.
// While text streams in, a frame lasts longer: of the lines that come in it only the newest 400
// are laid out, so the longer the frame, the more lines are never laid out at all.
const int interval = RepaintPacer::defaultIntervalMs;
const int busyInterval = RepaintPacer::busyIntervalMs;
// The most characters one insertion lays out: about 10 ms even for text that is costly to lay
// out, such as random bytes, and more than 400 ordinary lines.
const int maximumInsertion = 32768;

} // namespace

OstraView::OstraView(QWidget *parent)
    : QTextEdit(parent)
    , m_viewFont(QLatin1String(defaultFontFamily), defaultPointSize, QFont::Normal, false)
    , m_fontColor(defaultFontColor)
    , m_backColor(initialBackColor)
{
    // No style sheet yet: start-up hands over the stored look before the window first shows.
    document()->setMaximumBlockCount(maximumLines);
    setFocusPolicy(Qt::StrongFocus);
    setReadOnly(true);
    setAcceptRichText(true);
    // Editable as far as the toolkit knows, so that the view shows a cursor, offers Paste and
    // keeps Tab; keys still never edit the text because they never reach the base class.
    setTextInteractionFlags(Qt::TextEditorInteraction);
    document()->setUndoRedoEnabled(false);
    // Latin-1 holds no right-to-left letter, so every line would resolve to left-to-right
    // anyway; saying so spares the layout a scan of every line on each change.
    QTextOption option = document()->defaultTextOption();
    option.setTextDirection(Qt::LeftToRight);
    document()->setDefaultTextOption(option);
    useShapeFreeFont();
    ensureCursorVisible();
    m_pacer = new RepaintPacer({viewport(), verticalScrollBar(), horizontalScrollBar()});
    m_frameMs = interval;
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, [this] { insertHeld(maximumInsertion); });
    // A terminal that shows its newest line keeps showing it when the pane shrinks (hex mode
    // opening the hex pane below it) and the lines wrap anew; a user who scrolled up stays put.
    QScrollBar *bar = verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { m_followsEnd = value == bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (m_followsEnd)
            bar->setValue(maximum);
    });
    // Whatever may take the newest text out of sight makes the next batch look again.
    const auto look = [this] {
        m_endInSight = false;
    };
    connect(this, &QTextEdit::cursorPositionChanged, this, look);
    for (QScrollBar *scrollBar : {bar, horizontalScrollBar()}) {
        connect(scrollBar, &QScrollBar::valueChanged, this, look);
        connect(scrollBar, &QScrollBar::rangeChanged, this, look);
    }
}

OstraView::~OstraView() = default;

void OstraView::displayBytes(const QByteArray &data)
{
    displayBytes(data, QDateTime::currentMSecsSinceEpoch());
}

void OstraView::displayBytes(const QByteArray &data, qint64 arrival)
{
    if (m_timestamps || !m_lineTimes.empty()) {
        holdStamped(data, arrival);
    } else {
        const DisplayEdit edit = displayEdit(data);
        // The batch's backspaces take back held bytes first, as they would shown ones.
        const int takenBack = qMin(edit.erase, int(m_held.text.size()));
        m_held.text.chop(takenBack);
        if (m_held.text.isEmpty())
            m_held.erase += edit.erase - takenBack;
        m_held.text += edit.text;
    }

    if (!m_showTimer.isActive()) {
        const qint64 since = m_sinceShown.isValid() ? m_sinceShown.elapsed() : m_frameMs;
        if (since >= m_frameMs)
            insertHeld(maximumInsertion);
        else
            m_showTimer.start(int(m_frameMs - since));
    }
    if (!m_endInSight)
        followEnd();
}

void OstraView::insertHeld(int most)
{
    m_showTimer.stop();
    if (m_held.erase == 0 && m_held.text.isEmpty())
        return;
    const DisplayEdit edit = std::exchange(m_held, DisplayEdit());
    m_frameMs = edit.text.size() >= RepaintPacer::busyFrameBytes ? busyInterval : interval;
    m_pacer->contentChanging();
    // A cursor of its own, so that a selection the user made stays; one edit block, so that the
    // last line is laid out once however many parts of it change.
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (edit.erase > 0 && cursor.position() > 0) {
        // Backspaces erase what is on screen, a line break included, but never a line's time;
        // one edit for all of them. The line they end in keeps its own time, not that of a line
        // it is joined with.
        int from = cursor.position();
        int left = edit.erase;
        for (QTextBlock block = cursor.block(); left > 0 && block.isValid();
             block = block.previous()) {
            const int characters = qMin(left, block.length() - 1);
            from -= characters;
            left -= characters;
            if (left == 0 || block.userState() >= 0 || !block.previous().isValid())
                break;
            --from;
            --left;
        }
        const int time = document()->findBlock(from).userState();
        cursor.setPosition(from, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.block().setUserState(time);
    }
    // Lines that the 400-line limit would drop again at once are never laid out, nor are the
    // characters that the line-length limit would drop; such lines take their times with them.
    const QByteArray newest = newestLines(edit.text, maximumLines);
    if (!m_lineTimes.empty() && newest.size() < edit.text.size())
        dropOldestLineTimes(edit.text.left(edit.text.size() - newest.size()).count(lineStartMark));
    const LineLimitEdit limited
        = limitLineLength(newest, cursor.block().length() - 1, maximumLineLength);
    if (limited.dropShown > 0) {
        QTextCursor front(cursor.block());
        front.setPosition(front.position() + limited.dropShown, QTextCursor::KeepAnchor);
        front.removeSelectedText();
    }
    // Much text at once (long lines of many kinds of character) is inserted in parts, one per
    // interval, so that reading, painting and keys get their turn in between; the rest waits
    // with the batches that come meanwhile, which may push it out of the newest lines unshown.
    QByteArray inserted = limited.text.left(most);
    // The oldest lines that the new ones push out go first, so that the document never holds
    // them beside the new ones (which the block limit would lay out again, then trim one by
    // one). When every line shown goes, so does the text that would have continued the last,
    // and the lines pushed out unshown take their times with them.
    const int blocks = document()->blockCount();
    const int excess = blocks + int(inserted.count('\n')) - maximumLines;
    if (excess > 0) {
        const QTextBlock first = document()->findBlockByNumber(excess);
        QTextCursor oldest(document());
        oldest.setPosition(first.isValid() ? first.position() : cursor.position(),
                           QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
        if (!first.isValid())
            document()->firstBlock().setUserState(-1);
        for (int gone = blocks; gone <= excess; ++gone) {
            const int next = inserted.indexOf('\n') + 1;
            dropOldestLineTimes(inserted.left(next).count(lineStartMark));
            inserted.remove(0, next);
        }
    }
    if (!inserted.isEmpty())
        insertMarked(cursor, inserted);
    cursor.endEditBlock();
    if (limited.text.size() > most) {
        m_held.text.prepend(limited.text.mid(most));
        m_showTimer.start(m_frameMs);
    }
    followEnd();
    // Counted from the end, so that reading, painting and keys get their turn in between.
    m_sinceShown.start();
}

void OstraView::dropOldestLineTimes(qsizetype count)
{
    m_lineTimes.erase(m_lineTimes.begin(),
                      m_lineTimes.begin() + std::min<qsizetype>(count, m_lineTimes.size()));
}

void OstraView::insertMarked(QTextCursor &cursor, const QByteArray &text)
{
    if (m_lineTimes.empty()) {
        cursor.insertText(QString::fromLatin1(text.constData(), text.size()));
        return;
    }
    // Each mark gives the line the cursor has reached its time.
    int from = 0;
    for (int mark = text.indexOf(lineStartMark); mark >= 0;
         mark = text.indexOf(lineStartMark, from)) {
        if (mark > from)
            cursor.insertText(QString::fromLatin1(text.constData() + from, mark - from));
        if (!m_lineTimes.empty()) {
            cursor.block().setUserState(m_lineTimes.front());
            m_lineTimes.pop_front();
            m_stamped = true;
        }
        from = mark + 1;
    }
    if (from < text.size())
        cursor.insertText(QString::fromLatin1(text.constData() + from, text.size() - from));
}

// The byte rules of displayEdit(), one byte at a time, with a line's time in front of it: each
// line that begins while timestamps are on gets a mark and the time its first byte came, and a
// backspace erases the line's newest byte, or the line break before a line not yet begun, but
// never the time of a line that has.
void OstraView::holdStamped(const QByteArray &data, qint64 arrival)
{
    // The local time of day is worked out once, and only for a batch that begins a line.
    int time = -1;
    for (const char byte : data) {
        switch (byte) {
        case '\0':
        case '\r':
            break;
        case '\b':
            if (m_held.text.isEmpty())
                ++m_held.erase;
            else if (!m_held.text.endsWith(lineStartMark))
                m_held.text.chop(1);
            break;
        default:
            if (m_timestamps && lastLineEnded()) {
                m_held.text.append(lineStartMark);
                if (time < 0)
                    time = QDateTime::fromMSecsSinceEpoch(arrival).time().msecsSinceStartOfDay();
                m_lineTimes.push_back(time);
            }
            m_held.text.append(byte);
            break;
        }
    }
}

bool OstraView::lastLineEnded() const
{
    if (!m_held.text.isEmpty())
        return m_held.text.endsWith('\n');
    // A line that has begun keeps the time of its first character, even when backspaces have
    // erased everything after it.
    const QTextBlock last = document()->lastBlock();
    return m_held.erase == 0 && last.length() <= 1 && last.userState() < 0;
}

void OstraView::setTimestamps(bool on)
{
    m_timestamps = on;
    updateStampMargin();
}

std::unique_ptr<QTextDocument> OstraView::stampedCopy()
{
    showAllReceived();
    if (!m_stamped)
        return nullptr;
    std::unique_ptr<QTextDocument> copy(document()->clone());
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setLeftMargin(0);
    copy->rootFrame()->setFrameFormat(frame);
    // From the last line up, so that the positions of the lines above stay where they were.
    for (QTextBlock block = copy->lastBlock(); block.isValid(); block = block.previous()) {
        if (block.userState() >= 0)
            QTextCursor(block).insertText(timestampText(block.userState()));
    }
    return copy;
}

void OstraView::updateStampMargin()
{
    // The times are drawn in a margin of their own, so that they take no part in what the
    // device's text does: backspaces, the line-length rule, the wrapping of long lines.
    const qreal width
        = m_timestamps || m_stamped
              ? std::ceil(QFontMetricsF(document()->defaultFont())
                              .horizontalAdvance(QString(timestampLength, QLatin1Char('0'))))
              : 0;
    QTextFrameFormat frame = document()->rootFrame()->frameFormat();
    if (frame.leftMargin() == width)
        return;
    frame.setLeftMargin(width);
    document()->rootFrame()->setFrameFormat(frame);
}

void OstraView::paintStamps(const QRect &area)
{
    QPainter painter(viewport());
    painter.setFont(document()->defaultFont());
    painter.setPen(m_fontColor);
    const QPointF scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const qreal left = document()->documentMargin();
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    for (QTextBlock block = cursorForPosition(area.topLeft()).block(); block.isValid();
         block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block).translated(-scrolled);
        if (box.top() > area.bottom())
            break;
        if (block.userState() < 0 || !block.layout() || block.layout()->lineCount() == 0)
            continue;
        const QTextLine firstLine = block.layout()->lineAt(0);
        painter.drawText(
            QPointF(left - scrolled.x(), box.top() + firstLine.y() + firstLine.ascent()),
            timestampText(block.userState()));
    }
}

void OstraView::showAllReceived()
{
    insertHeld(std::numeric_limits<int>::max());
}

QString OstraView::toPlainText()
{
    if (const auto copy = stampedCopy())
        return copy->toPlainText();
    return QTextEdit::toPlainText();
}

QString OstraView::toHtml()
{
    if (const auto copy = stampedCopy())
        return copy->toHtml();
    return QTextEdit::toHtml();
}

void OstraView::clear()
{
    m_endInSight = false;
    m_showTimer.stop();
    m_held = DisplayEdit();
    m_lineTimes.clear();
    m_stamped = false;
    QTextEdit::clear();
    updateStampMargin();
}

void OstraView::setViewFont(const QFont &font)
{
    m_viewFont = font;
    applyStyleSheet();
}

void OstraView::setFontColor(const QColor &color)
{
    // A stored text that names no colour must not turn the text black.
    if (!color.isValid())
        return;
    m_fontColor = color;
    applyStyleSheet();
}

void OstraView::setBackColor(const QColor &color)
{
    m_backColor = color;
    applyStyleSheet();
}

QFont OstraView::viewFont() const
{
    return m_viewFont;
}

QColor OstraView::fontColor() const
{
    return m_fontColor;
}

QColor OstraView::backColor() const
{
    return m_backColor;
}

void OstraView::keyPressEvent(QKeyEvent *event)
{
    // Every key goes to the device, none to the editor: the screen shows only what comes back.
    moveToEnd();
    ensureCursorVisible();
    emit keyInput(event->key(), event->text());
}

// Nothing can be dragged into the view or dropped on it.
void OstraView::dragEnterEvent(QDragEnterEvent *)
{}
void OstraView::dragMoveEvent(QDragMoveEvent *)
{}
void OstraView::dragLeaveEvent(QDragLeaveEvent *)
{}
void OstraView::dropEvent(QDropEvent *)
{}

// A copied selection carries the times of the lines whose start it holds, as they are shown.
QMimeData *OstraView::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    if (!m_stamped || !selection.hasSelection())
        return QTextEdit::createMimeDataFromSelection();
    QString text;
    const int start = selection.selectionStart();
    const int end = selection.selectionEnd();
    for (QTextBlock block = document()->findBlock(start);
         block.isValid() && block.position() <= end; block = block.next()) {
        const int from = qMax(start, block.position());
        const int to = qMin(end, block.position() + block.length() - 1);
        if (!text.isEmpty() || block.position() > start)
            text += QLatin1Char('\n');
        if (from == block.position() && block.userState() >= 0)
            text += timestampText(block.userState());
        text += block.text().mid(from - block.position(), to - from);
        if (block.position() + block.length() - 1 >= end)
            break;
    }
    auto data = new QMimeData;
    data->setText(text);
    return data;
}

void OstraView::insertFromMimeData(const QMimeData *source)
{
    // The toolkit's paste() does not look at the enabled state; a disabled view has no device
    // to send to.
    if (!isEnabled() || !source)
        return;
    moveToEnd();
    ensureCursorVisible();
    const QString text = source->text();
    qCDebug(lcTransmit) << text;
    emit keyInput(Qt::Key_F35, text);
}

void OstraView::changeFont()
{
    bool confirmed = false;
    // Opens on the face actually drawn, not on a family this system lacks, so that OK without
    // a change keeps the look.
    QFont shown = m_viewFont;
    shown.setFamily(QFontInfo(font()).family());
    shown.setPointSize(std::clamp(shown.pointSize(), minimumViewPointSize, maximumViewPointSize));
    const QFont font = QFontDialog::getFont(&confirmed, shown, this);
    if (confirmed)
        setViewFont(font);
}

void OstraView::changeFontColor()
{
    const QColor color = QColorDialog::getColor(m_fontColor, this, QStringLiteral("Font color"));
    if (color.isValid())
        setFontColor(color);
}

void OstraView::changeBackColor()
{
    const QColor color
        = QColorDialog::getColor(m_backColor, this, QStringLiteral("Background color"));
    if (color.isValid())
        setBackColor(color);
}

void OstraView::changeEvent(QEvent *event)
{
    QTextEdit::changeEvent(event);
    // The base class hands the widget's new font to the document.
    if (event->type() == QEvent::FontChange) {
        useShapeFreeFont();
        updateStampMargin();
    }
}

void OstraView::followEnd()
{
    QScrollBar *bar = verticalScrollBar();
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        // The user's selection stays where it is, and the newest text stays in sight.
        bar->setValue(bar->maximum());
    } else if (!cursor.atEnd() || bar->value() != bar->maximum()
               || !viewport()->rect().contains(cursorRect())) {
        // Setting the cursor again when it is there already would repaint it.
        moveToEnd();
        ensureCursorVisible();
    }
    m_endInSight = true;
}

void OstraView::useShapeFreeFont()
{
    // Latin-1 text needs no shaping to be shown right, and shaping each new line was most of
    // what laying it out cost.
    QFont font = document()->defaultFont();
    const auto strategy = QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping);
    if (font.styleStrategy() == strategy)
        return;
    font.setStyleStrategy(strategy);
    document()->setDefaultFont(font);
}

void OstraView::moveToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void OstraView::applyStyleSheet()
{
    setStyleSheet(viewStyleSheet(withFixedPitchFallback(m_viewFont), m_fontColor, m_backColor));
    // The sheet's background is drawn behind a transparent viewport, so every repaint of the
    // text would repaint the group box and window beneath it too. The viewport paints that
    // background itself instead (viewportEvent), which makes it opaque.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
}

bool OstraView::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::Paint && viewport()->testAttribute(Qt::WA_OpaquePaintEvent)) {
        // The same colour the style sheet names, black for an invalid one.
        QPainter painter(viewport());
        painter.fillRect(static_cast<QPaintEvent *>(event)->rect(),
                         m_backColor.isValid() ? m_backColor : QColor(Qt::black));
    }
    const bool handled = QTextEdit::viewportEvent(event);
    if (event->type() == QEvent::Paint && m_stamped)
        paintStamps(static_cast<QPaintEvent *>(event)->rect());
    return handled;
}

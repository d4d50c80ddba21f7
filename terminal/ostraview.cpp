#include "ostraview.h"

#include "common/logging.h"
#include "repaintpacer.h"
#include "stylesheet.h"
#include "terminalconstants.h"
#include "timestamp.h"

#include <QAbstractTextDocumentLayout>
#include <QColorDialog>
#include <QDateTime>
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
    , m_screen(document())
    , m_viewFont(QLatin1String(defaultFontFamily), defaultPointSize, QFont::Normal, false)
    , m_fontColor(defaultFontColor)
    , m_backColor(initialBackColor)
{
    // No style sheet yet: start-up hands over the stored look before the window first shows.
    setFocusPolicy(Qt::StrongFocus);
    setReadOnly(true);
    setAcceptRichText(true);
    // Editable as far as the toolkit knows, so that the view shows a cursor, offers Paste and
    // keeps Tab; keys still never edit the text because they never reach the base class.
    setTextInteractionFlags(Qt::TextEditorInteraction);
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
    m_screen.hold(data, m_timestamps ? arrival : HeldText::untimed);
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
    if (!m_screen.isHolding())
        return;
    m_frameMs = m_screen.heldSize() >= RepaintPacer::busyFrameBytes ? busyInterval : interval;
    m_pacer->contentChanging();
    // Much text at once (long lines of many kinds of character) is inserted in parts, one per
    // frame, so that reading, painting and keys get their turn in between; the rest waits with
    // the batches that come meanwhile, which may push it out of the newest lines unshown.
    m_screen.insertHeld(most);
    if (m_screen.isHolding())
        m_showTimer.start(m_frameMs);
    followEnd();
    // Counted from the end, so that reading, painting and keys get their turn in between.
    m_sinceShown.start();
}

void OstraView::setTimestamps(bool on)
{
    m_timestamps = on;
    updateStampMargin();
}

void OstraView::updateStampMargin()
{
    // The times are drawn in a margin of their own, so that they take no part in what the
    // device's text does: backspaces, the line-length rule, the wrapping of long lines.
    const qreal width
        = m_timestamps || m_screen.hasTimes()
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
        const int time = m_screen.timeOf(block);
        if (time == HeldText::noTime || !block.layout() || block.layout()->lineCount() == 0)
            continue;
        const QTextLine firstLine = block.layout()->lineAt(0);
        painter.drawText(
            QPointF(left - scrolled.x(), box.top() + firstLine.y() + firstLine.ascent()),
            timestampText(time));
    }
}

void OstraView::showAllReceived()
{
    insertHeld(std::numeric_limits<int>::max());
}

void OstraView::clearScreen()
{
    m_endInSight = false;
    m_showTimer.stop();
    m_screen.clear();
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

void OstraView::keyPressEvent(QKeyEvent *event)
{
    // Every key goes to the device, none to the editor: the screen shows only what comes back.
    moveToEnd();
    emit keyInput(event->key(), event->text());
}

// A copied selection carries the times of the lines whose start it holds, as they are shown.
QMimeData *OstraView::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    if (!m_screen.hasTimes() || !selection.hasSelection())
        return QTextEdit::createMimeDataFromSelection();
    auto data = new QMimeData;
    data->setText(m_screen.text(selection.selectionStart(), selection.selectionEnd()));
    return data;
}

void OstraView::insertFromMimeData(const QMimeData *source)
{
    // The toolkit's paste() does not look at the enabled state; a disabled view has no device
    // to send to.
    if (!isEnabled() || !source)
        return;
    moveToEnd();
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
    ensureCursorVisible();
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
    if (event->type() == QEvent::Paint && m_screen.hasTimes())
        paintStamps(static_cast<QPaintEvent *>(event)->rect());
    return handled;
}

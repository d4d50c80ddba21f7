#include "ostraview.h"

#include "stylesheet.h"

#include <QColorDialog>
#include <QDebug>
#include <QFontDialog>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>

namespace {

const int maximumLines = 400;

} // namespace

OstraView::OstraView(QWidget *parent)
    : QTextEdit(parent)
    , m_viewFont(QStringLiteral("Courier New"), 10, QFont::Normal, false)
    , m_fontColor(255, 255, 255)
    , m_backColor(43, 88, 65) {
    // No style sheet yet: start-up hands over the stored look before the window first shows.
    document()->setMaximumBlockCount(maximumLines);
    setFocusPolicy(Qt::StrongFocus);
    setReadOnly(true);
    setAcceptRichText(true);
    // Editable as far as the toolkit knows, so that the view shows a cursor, offers Paste and
    // keeps Tab; keys still never edit the text because they never reach the base class.
    setTextInteractionFlags(Qt::TextEditorInteraction);
    document()->setUndoRedoEnabled(false);
    ensureCursorVisible();
}

OstraView::~OstraView() = default;

void OstraView::displayBytes(const QByteArray &data) {
    moveToEnd();
    QByteArray pending;
    pending.reserve(data.size());
    for (const char byte : data) {
        switch (byte) {
        case '\0':
        case '\r':
            // Dropping CR makes CR LF one line break.
            break;
        case '\b':
            // A backspace first takes back a byte of this batch that is not shown yet, and
            // otherwise erases what is on screen, a line break included.
            if (pending.isEmpty()) {
                QTextCursor cursor = textCursor();
                if (cursor.position() != 0) {
                    cursor.deletePreviousChar();
                    ensureCursorVisible();
                }
            } else {
                pending.chop(1);
            }
            break;
        default:
            pending.append(byte);
            break;
        }
    }
    textCursor().insertText(QString::fromLatin1(pending));
    ensureCursorVisible();
}

void OstraView::setViewFont(const QFont &font) {
    m_viewFont = font;
    applyStyleSheet();
}

void OstraView::setFontColor(const QColor &color) {
    // A stored text that names no colour must not turn the text black.
    if (!color.isValid())
        return;
    m_fontColor = color;
    applyStyleSheet();
}

void OstraView::setBackColor(const QColor &color) {
    m_backColor = color;
    applyStyleSheet();
}

QFont OstraView::viewFont() const {
    return m_viewFont;
}

QColor OstraView::fontColor() const {
    return m_fontColor;
}

QColor OstraView::backColor() const {
    return m_backColor;
}

void OstraView::keyPressEvent(QKeyEvent *event) {
    // Every key goes to the device, none to the editor: the screen shows only what comes back.
    moveToEnd();
    ensureCursorVisible();
    emit keyInput(event->key(), event->text());
}

// Nothing can be dragged into the view or dropped on it.
void OstraView::dragEnterEvent(QDragEnterEvent *) {
}
void OstraView::dragMoveEvent(QDragMoveEvent *) {
}
void OstraView::dragLeaveEvent(QDragLeaveEvent *) {
}
void OstraView::dropEvent(QDropEvent *) {
}

void OstraView::insertFromMimeData(const QMimeData *source) {
    // The toolkit's paste() does not look at the enabled state; a disabled view has no device
    // to send to.
    if (!isEnabled() || !source)
        return;
    moveToEnd();
    ensureCursorVisible();
    const QString text = source->text();
    qDebug() << text;
    emit keyInput(Qt::Key_F35, text);
}

void OstraView::changeFont() {
    bool confirmed = false;
    const QFont font = QFontDialog::getFont(&confirmed, m_viewFont, this);
    if (confirmed)
        setViewFont(font);
}

void OstraView::changeFontColor() {
    const QColor color = QColorDialog::getColor(m_fontColor, this, QStringLiteral("Font color"));
    if (color.isValid())
        setFontColor(color);
}

void OstraView::changeBackColor() {
    const QColor color
        = QColorDialog::getColor(m_backColor, this, QStringLiteral("Background color"));
    if (color.isValid())
        setBackColor(color);
}

void OstraView::moveToEnd() {
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
}

void OstraView::applyStyleSheet() {
    setStyleSheet(viewStyleSheet(m_viewFont, m_fontColor, m_backColor));
}

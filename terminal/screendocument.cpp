#include "screendocument.h"

#include "terminalconstants.h"
#include "timestamp.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>

#include <memory>

ScreenDocument::ScreenDocument(QTextDocument *document)
    : m_document(document)
    , m_held(*this)
{
    // The held text keeps the limit itself; the document's own is a second fence.
    m_document->setMaximumBlockCount(TerminalConstants::maximumLines);
    m_document->setUndoRedoEnabled(false);
}

void ScreenDocument::hold(const QByteArray &batch, qint64 arrival)
{
    m_held.append(batch, arrival);
}

bool ScreenDocument::isHolding() const
{
    return !m_held.isEmpty();
}

int ScreenDocument::heldSize() const
{
    return m_held.size();
}

void ScreenDocument::insertHeld(int most)
{
    if (!m_held.isEmpty())
        apply(m_held.take(most));
}

void ScreenDocument::apply(const ScreenEdit &edit)
{
    // One edit block, so that the last line is laid out once however many parts of it change.
    QTextCursor cursor(m_document);
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    if (edit.erase > 0) {
        // The line the erasing ends in keeps its own time, not that of a line joined to it.
        const int from = cursor.position() - edit.erase;
        const int time = m_document->findBlock(from).userState();
        cursor.setPosition(from, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.block().setUserState(time);
    }
    if (edit.dropLines > 0) {
        // Before the new lines go in, so that the document never holds them beside the old.
        const QTextBlock first = m_document->findBlockByNumber(edit.dropLines);
        QTextCursor oldest(m_document);
        oldest.setPosition(first.isValid() ? first.position() : cursor.position(),
                           QTextCursor::KeepAnchor);
        oldest.removeSelectedText();
        // Emptied, the document keeps the last line's block, whose time went with it.
        if (!first.isValid())
            m_document->firstBlock().setUserState(HeldText::noTime);
    }
    if (edit.cut > 0) {
        QTextCursor front(m_document->lastBlock());
        front.setPosition(front.position() + edit.cut, QTextCursor::KeepAnchor);
        front.removeSelectedText();
    }
    const int line = m_document->blockCount() - 1;
    if (!edit.text.isEmpty())
        cursor.insertText(QString::fromLatin1(edit.text.constData(), edit.text.size()));
    if (!edit.times.empty()) {
        QTextBlock block = m_document->findBlockByNumber(line);
        if (edit.times.front() != HeldText::noTime)
            block.setUserState(edit.times.front());
        for (auto time = edit.times.begin() + 1; time != edit.times.end(); ++time) {
            block = block.next();
            block.setUserState(*time);
        }
        m_timed = true;
    }
    cursor.endEditBlock();
}

void ScreenDocument::clear()
{
    m_held.clear();
    QTextCursor cursor(m_document);
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    m_document->firstBlock().setUserState(HeldText::noTime);
    m_timed = false;
}

int ScreenDocument::timeOf(const QTextBlock &block) const
{
    return block.userState();
}

QString ScreenDocument::text() const
{
    return text(0, m_document->characterCount() - 1);
}

QString ScreenDocument::text(int from, int to) const
{
    // Each character as received: the toolkit's plain text would turn a received 0xA0 (no-break
    // space) into a blank.
    QString text;
    for (QTextBlock block = m_document->findBlock(from); block.isValid(); block = block.next()) {
        const int start = qMax(from, block.position());
        const int end = qMin(to, block.position() + block.length() - 1);
        if (block.position() > from)
            text += QLatin1Char('\n');
        if (start == block.position() && block.userState() != HeldText::noTime)
            text += timestampText(block.userState());
        text += block.text().mid(start - block.position(), end - start);
        if (block.position() + block.length() - 1 >= to)
            break;
    }
    return text;
}

QString ScreenDocument::html() const
{
    const std::unique_ptr<QTextDocument> copy(m_document->clone());
    // The view draws the times in the left margin; the HTML has them as text instead.
    QTextFrameFormat frame = copy->rootFrame()->frameFormat();
    frame.setLeftMargin(0);
    copy->rootFrame()->setFrameFormat(frame);
    // From the last line up, so that the positions of the lines above stay where they were.
    for (QTextBlock block = copy->lastBlock(); block.isValid(); block = block.previous()) {
        if (block.userState() != HeldText::noTime)
            QTextCursor(block).insertText(timestampText(block.userState()));
    }
    return copy->toHtml();
}

int ScreenDocument::lineCount() const
{
    return m_document->blockCount();
}

int ScreenDocument::lineLength(int line) const
{
    return m_document->findBlockByNumber(line).length() - 1;
}

int ScreenDocument::lineTime(int line) const
{
    return m_document->findBlockByNumber(line).userState();
}

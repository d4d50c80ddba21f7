#pragma once

#include "heldtext.h"

#include <QString>

class QTextBlock;
class QTextDocument;

// The terminal's screen without a widget: the lines received so far in a text document, each
// with the time it began as the block's user state, and what waits for the next frame held back.
class ScreenDocument : private ShownLines
{
public:
    explicit ScreenDocument(QTextDocument *document);

    // A batch as received; arrival as HeldText::append() takes it.
    void hold(const QByteArray &batch, qint64 arrival = HeldText::untimed);
    bool isHolding() const;
    int heldSize() const;
    // Edits the document as the held bytes say, inserting at most most characters of their
    // text; the rest waits.
    void insertHeld(int most);
    // Empties the screen, and drops what is held with it.
    void clear();

    // Some line has had a time since the screen was last cleared.
    bool hasTimes() const { return m_timed; }
    // Milliseconds since midnight, or HeldText::noTime.
    int timeOf(const QTextBlock &block) const;
    // What the document shows, each line after its time: all of it, or what lies between two
    // positions, with the time of each line whose start it holds.
    QString text() const;
    QString text(int from, int to) const;
    // All of it as HTML, times included.
    QString html() const;

private:
    int lineCount() const override;
    int lineLength(int line) const override;
    int lineTime(int line) const override;
    void apply(const ScreenEdit &edit);

    QTextDocument *m_document;
    HeldText m_held;
    bool m_timed = false;
};

#pragma once

#include "displayfilter.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QTextEdit>
#include <QTimer>

#include <deque>
#include <memory>

class QTextDocument;
class RepaintPacer;

// The terminal screen: shows what the device sends, and reports every key press and paste as
// keyInput() instead of editing its own text.
class OstraView : public QTextEdit
{
    Q_OBJECT

public:
    explicit OstraView(QWidget *parent = nullptr);
    ~OstraView() override;

    // Shows a batch of received bytes. Batches that arrive within one frame of the last
    // insertion are held back and inserted together, which no one can see on screen: a frame is
    // the repaint interval (16 ms), or RepaintPacer::busyIntervalMs while text streams in faster
    // than anyone reads it. The view scrolls to the end at once all the same.
    void displayBytes(const QByteArray &data);
    // The same, for bytes that came at arrival (milliseconds since the epoch), the time a line
    // they begin is stamped with.
    void displayBytes(const QByteArray &data, qint64 arrival);
    // Inserts at once what displayBytes() holds back.
    void showAllReceived();

    // These hide QTextEdit's own so that what is held back is part of the text they see, or is
    // dropped with the rest, and each line's time is in front of it.
    QString toPlainText();
    QString toHtml();
    void clear();

    // Starts each line that begins from now on with the local time its first character came;
    // lines already shown keep what they have.
    void setTimestamps(bool on);
    // What the view shows, times included, as a document of its own; null when no line has a
    // time, so that the view's own document is what it shows.
    std::unique_ptr<QTextDocument> stampedCopy();

    void setViewFont(const QFont &font);
    void setFontColor(const QColor &color);
    void setBackColor(const QColor &color);
    QFont viewFont() const;
    QColor fontColor() const;
    QColor backColor() const;

public slots:
    // The Appearance menu's dialogs.
    void changeFont();
    void changeFontColor();
    void changeBackColor();

signals:
    void keyInput(int key, const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void changeEvent(QEvent *event) override;

private:
    // Inserts what m_held gathered, at most most characters of it (the rest waits for the next
    // frame), in one edit: the held backspaces erase shown text, then of the held text only
    // what can still be among the newest 400 lines, each cut to its newest 8,192 characters,
    // is kept (displayfilter.h); the oldest lines that it pushes out are removed, and it is
    // inserted. Anything added to each received line (a prefix, say) belongs where the held
    // text is cut, before the lines are counted.
    void insertHeld(int most);
    void moveToEnd();
    void followEnd();
    void useShapeFreeFont();
    void applyStyleSheet();
    bool viewportEvent(QEvent *event) override;
    void holdStamped(const QByteArray &data, qint64 arrival);
    // Whether the next received byte starts a line of its own.
    bool lastLineEnded() const;
    void insertMarked(QTextCursor &cursor, const QByteArray &text);
    // The times of lines that went before they were shown.
    void dropOldestLineTimes(qsizetype count);
    void updateStampMargin();
    void paintStamps(const QRect &area);

    RepaintPacer *m_pacer = nullptr;
    // Received since the last insertion, filtered: backspaces that reach the shown text, then
    // the text that follows.
    DisplayEdit m_held;
    QTimer m_showTimer;
    QElapsedTimer m_sinceShown;
    // How long held batches wait after an insertion: longer while text streams in.
    int m_frameMs = 0;
    bool m_followsEnd = true;
    // Set where followEnd() left the view at the end; until the cursor or a scroll bar moves,
    // batches that are held back need not look again. They come every millisecond while a
    // device streams.
    bool m_endInSight = false;
    bool m_timestamps = false;
    // The times of the lines marked in m_held.text, in order, in milliseconds since midnight. A
    // line's time, once shown, is its block's user state.
    std::deque<int> m_lineTimes;
    // Some line shows a time; the margin the times are drawn in stays until the view is cleared.
    bool m_stamped = false;

    QFont m_viewFont;
    QColor m_fontColor;
    QColor m_backColor;
};

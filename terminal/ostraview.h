#pragma once

#include "screendocument.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QTextEdit>
#include <QTimer>

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
    // Empties the screen, and drops what is held back with it.
    void clearScreen();
    // The lines shown, each with its time, as text or HTML; after showAllReceived(), all that
    // was received.
    const ScreenDocument &screen() const { return m_screen; }

    // Starts each line that begins from now on with the local time its first character came;
    // lines already shown keep what they have.
    void setTimestamps(bool on);

    void setViewFont(const QFont &font);
    void setFontColor(const QColor &color);
    void setBackColor(const QColor &color);
    QFont viewFont() const { return m_viewFont; }
    QColor fontColor() const { return m_fontColor; }
    QColor backColor() const { return m_backColor; }

public slots:
    // The Appearance menu's dialogs.
    void changeFont();
    void changeFontColor();
    void changeBackColor();

signals:
    void keyInput(int key, const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Nothing can be dragged into the view or dropped on it.
    void dragEnterEvent(QDragEnterEvent *) override {}
    void dragMoveEvent(QDragMoveEvent *) override {}
    void dragLeaveEvent(QDragLeaveEvent *) override {}
    void dropEvent(QDropEvent *) override {}
    void insertFromMimeData(const QMimeData *source) override;
    QMimeData *createMimeDataFromSelection() const override;
    void changeEvent(QEvent *event) override;

private:
    // Inserts what the screen holds back, at most most characters of it; the rest waits for
    // the next frame.
    void insertHeld(int most);
    void moveToEnd();
    void followEnd();
    void useShapeFreeFont();
    void applyStyleSheet();
    bool viewportEvent(QEvent *event) override;
    void updateStampMargin();
    void paintStamps(const QRect &area);

    ScreenDocument m_screen;
    RepaintPacer *m_pacer = nullptr;
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

    QFont m_viewFont;
    QColor m_fontColor;
    QColor m_backColor;
};

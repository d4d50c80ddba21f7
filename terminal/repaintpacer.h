#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Lets widgets that data streams into repaint at most once per interval: while the last paint
// of the first of them is more recent than that, their updates are held back and then released
// as one repaint each. What the widgets hold changes at once; only how often they are drawn is
// capped.
class RepaintPacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultIntervalMs = 16;
    // While data streams in faster than anyone reads it (a frame brought busyFrameBytes or more,
    // more than a screenful), the views draw at most every busyIntervalMs instead: of the lines
    // that come in a longer frame fewer are ever laid out and drawn. At 1.2 MB/s of lines, 70 ms
    // keeps the newest line on screen within 38 ms of its arrival (median) and 85 ms at worst,
    // for 6.2-6.6% of a core; 60 ms took 6.9-7.3% for 32 / 75 ms, 50 ms 2 points more again.
    // Once the stream calms down the view draws every defaultIntervalMs again.
    static constexpr int busyIntervalMs = 70;
    static constexpr int busyFrameBytes = 4096;

    // The pacer lives as long as the first widget; the others are usually its scroll bars.
    explicit RepaintPacer(const QList<QWidget *> &widgets, int intervalMs = defaultIntervalMs);

    // Called before each change of what the widgets show.
    void contentChanging();
    // Paces at busyIntervalMs instead of the interval given, or again at that.
    void setBusy(bool busy) { m_busy = busy; }
    bool isHolding() const { return m_release.isActive(); }

signals:
    // Just before the updates held back are let go: what was left for the repaint is due now.
    void releasing();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    QList<QPointer<QWidget>> m_widgets;
    int m_intervalMs;
    bool m_busy = false;
    QElapsedTimer m_sincePaint;
    QTimer m_release;
};

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Lets a widget that data streams into repaint at most once per interval: while the last paint
// is more recent than that, its updates are held back and then released as one repaint. What the
// widget holds changes at once; only how often it is drawn is capped.
class RepaintPacer : public QObject {
    Q_OBJECT

public:
    static constexpr int defaultIntervalMs = 16;

    explicit RepaintPacer(QWidget *widget, int intervalMs = defaultIntervalMs);

    // Called before each change of what the widget shows.
    void contentChanging();
    bool isHolding() const { return m_release.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    QWidget *m_widget;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    QTimer m_release;
};

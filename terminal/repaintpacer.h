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

    // The pacer lives as long as the first widget; the others are usually its scroll bars.
    explicit RepaintPacer(const QList<QWidget *> &widgets, int intervalMs = defaultIntervalMs);

    // Called before each change of what the widgets show.
    void contentChanging();
    bool isHolding() const { return m_release.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    QList<QPointer<QWidget>> m_widgets;
    int m_intervalMs;
    QElapsedTimer m_sincePaint;
    QTimer m_release;
};

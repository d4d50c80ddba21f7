#include "repaintpacer.h"

#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(const QList<QWidget *> &widgets, int intervalMs)
    : QObject(widgets.value(0))
    , m_intervalMs(intervalMs)
{
    for (QWidget *widget : widgets)
        m_widgets.append(widget);
    m_release.setSingleShot(true);
    connect(&m_release, &QTimer::timeout, this, &RepaintPacer::release);
    if (!widgets.isEmpty())
        widgets.first()->installEventFilter(this);
}

void RepaintPacer::contentChanging()
{
    if (m_release.isActive() || !m_sincePaint.isValid())
        return;
    const int interval = m_busy ? busyIntervalMs : m_intervalMs;
    const qint64 since = m_sincePaint.elapsed();
    if (since >= interval)
        return;
    for (QWidget *widget : qAsConst(m_widgets)) {
        if (widget)
            widget->setUpdatesEnabled(false);
    }
    m_release.start(int(interval - since));
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_widgets.value(0) && event->type() == QEvent::Paint)
        m_sincePaint.start();
    return false;
}

void RepaintPacer::release()
{
    emit releasing();
    // Enabling updates again repaints each widget once.
    for (QWidget *widget : qAsConst(m_widgets)) {
        if (widget)
            widget->setUpdatesEnabled(true);
    }
}

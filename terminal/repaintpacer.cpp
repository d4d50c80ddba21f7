#include "repaintpacer.h"

#include <QEvent>
#include <QWidget>

RepaintPacer::RepaintPacer(QWidget *widget, int intervalMs)
    : QObject(widget)
    , m_widget(widget)
    , m_intervalMs(intervalMs) {
    m_release.setSingleShot(true);
    connect(&m_release, &QTimer::timeout, this, &RepaintPacer::release);
    widget->installEventFilter(this);
}

void RepaintPacer::contentChanging() {
    if (m_release.isActive() || !m_sincePaint.isValid())
        return;
    const qint64 since = m_sincePaint.elapsed();
    if (since >= m_intervalMs)
        return;
    m_widget->setUpdatesEnabled(false);
    m_release.start(int(m_intervalMs - since));
}

bool RepaintPacer::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_widget && event->type() == QEvent::Paint)
        m_sincePaint.start();
    return false;
}

void RepaintPacer::release() {
    // Enabling updates again repaints the whole widget once.
    m_widget->setUpdatesEnabled(true);
}
